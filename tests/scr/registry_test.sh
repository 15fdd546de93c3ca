#!/usr/bin/env bash
# The settings key written by the Windows registry editor, imported with Wine's
# "regedit /S", is what orbsaver.scr /s shows: both files of the shared test data (a
# REGEDIT4 export and Wine's own "Version 5.00" export in UTF-16) set the background
# colour to blue, where the first-run default is black.
# Arguments: the source tree, orbsaver.scr, the Wine prefix, the shared test data.
set -uo pipefail
source_dir=$1 scr=$2 scr_prefix=$3 testdata=$4
[[ -d $testdata/reg ]] || { echo "SKIP: the shared test data ($testdata/reg) is not there"; exit 77; }
source "$source_dir/tests/scr/scr_lib.sh"
scr_begin

for file in source-regedit4.reg wine-export-v5.reg; do
  [[ -f $testdata/reg/$file ]] || scr_skip "$testdata/reg/$file is not there"
  scr_wine reg delete "$scr_settings_key" /f >/dev/null 2>&1 || true
  windows_path=$(scr_wine winepath -w "$testdata/reg/$file" 2>/dev/null | tr -d '\r')
  scr_wine regedit /S "$windows_path" || scr_fail "regedit /S $file failed"
  scr_wine reg query 'HKEY_CURRENT_USER\Software\MERO\SV_ORB_1\INFO' /v COLOR 2>/dev/null |
    tr -d '\r' | grep -q 'REG_BINARY.*0000FF00' || scr_fail "regedit did not import COLOR from $file"
  scr_start "$scr_dir/out" "$scr" /s
  scr_wait_window orbsaver.scr 20 || { cat "$scr_dir/out"; scr_fail "no saver window"; }
  sleep 2
  scr_shot "$scr_dir/shot.png" || scr_fail "no screenshot"
  scr_key
  scr_wait_end 5 "the saver, after a key,"
  # Corners away from the model and the overlays, and a band above the counter.
  top_left=$(scr_measure mean "$scr_dir/shot.png" 0 0 100 100)
  top_right=$(scr_measure mean "$scr_dir/shot.png" 700 0 800 100)
  left=$(scr_measure mean "$scr_dir/shot.png" 0 450 100 540)
  model=$(scr_measure ink "$scr_dir/shot.png" 300 200 500 400 0 0 255)
  echo "$file: mean colour top left ($top_left), top right ($top_right), left ($left); exit code $scr_code"
  [[ $scr_code == 0 ]] || { cat "$scr_dir/out"; scr_fail "exit code $scr_code"; }
  for area in "$top_left" "$top_right" "$left"; do
    read -r red green blue <<<"$area"
    [[ $red -lt 8 && $green -lt 8 && $blue -gt 247 ]] || scr_fail "$file: the background is ($area), not blue"
  done
  [[ $model -gt 20000 ]] || scr_fail "$file: no model in the middle of the screen"
done
echo "ok: the imported settings are what the saver shows"
