#!/usr/bin/env bash
# The portable zip unpacked into a folder with a space in its name: orbsaver.scr runs
# full screen from there and loads the default model from the data folder beside it.
# Without that folder the same run reports the model missing, so the check can fail.
# It runs in a Wine prefix of its own (PREFIX), without settings before each run.
# Skipped (77) where the zip was not built or Wine is missing.
set -euo pipefail
source_dir=$1
zip=$2
export ORBSAVER_WINEPREFIX=$3
[[ -f $zip ]] || { echo "SKIP: $zip is not built"; exit 77; }
command -v wine >/dev/null || { echo "SKIP: Wine is not installed"; exit 77; }
source "$source_dir/packaging/windows/saver_run.sh"
unset ORBSAVER_DATA_DIR

dir=$(mktemp -d)
trap 'WINEPREFIX=$ORBSAVER_WINEPREFIX wineserver -k 2>/dev/null || true; rm -rf "$dir"' EXIT
"$source_dir/tools/wine-run" --prepare
folder="$dir/my saver"
mkdir "$folder"
(cd "$folder" && cmake -E tar xf "$zip")
for f in orbsaver.scr data/multi.x data/win95.ppm data/KP4VN_1E.html data/KP4VN_1J.html; do
  [[ -f $folder/$f ]] || { echo "FAIL: $f is not in the zip"; exit 1; }
done

forget_settings
run_saver "$dir/log" "$folder/orbsaver.scr"
if grep -q 'cannot load the model' "$dir/log"; then
  echo "FAIL: the saver did not find the data beside itself"
  exit 1
fi

mv "$folder/data" "$dir/away"
forget_settings
run_saver "$dir/log" "$folder/orbsaver.scr"
grep -q 'cannot load the model.*multi\.x' "$dir/log" ||
  { echo "FAIL: without its data folder the saver still found a model"; exit 1; }
echo "the unpacked saver finds its data beside itself"
