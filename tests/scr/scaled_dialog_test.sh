#!/usr/bin/env bash
# orbsaver.scr /c under Wine at 150 % and 200 % display scaling (Wine's LogPixels of
# 144 and 192), on an Xvfb of 1280 x 1024: the dialog is 1.5 and 2 times 585 x 450,
# its pictures stand stretched at 1.5 and 2 times their places (BKGND's edges, the
# buttons' faces, the first page's picture), so none is cut off or covered, the
# preview is live in its scaled rectangle, and a click at Cancel's scaled place ends
# it with exit code 0.
# Arguments: the source tree, orbsaver.scr, the Wine prefix.
set -uo pipefail
source_dir=$1 scr=$2 scr_prefix=$3
scr_screen=1280x1024
source "$source_dir/tests/scr/scr_lib.sh"
scr_begin
bitmaps=$source_dir/resources/bitmap
export ORBSAVER_NO_MESSAGE_BOXES=1
failures=0

# A length of the dialog at the scale, as the program rounds it.
sc() { awk -v v="$1" -v q="$quarters" 'BEGIN { printf "%d", int(v * q / 4 + 0.5) }'; }


# The program stretches its pictures with halftone, the measure with a plain stretch:
# at 150 % a face in its place differs by up to about 22 (the small arrow buttons),
# the same face 6 pixels off or at its unscaled size or place by 38 or more.
# The whole picture stretched onto the scaled rectangle X Y W H of the dialog.
face() {
  scr_measure picture "$1" "$bitmaps/$2.bmp" $((dx + $(sc "$3"))) $((dy + $(sc "$4"))) "$(sc "$5")" "$(sc "$6")"
}
# The picture's rectangle X Y W H, stretched onto that rectangle scaled.
part() {
  scr_measure part "$1" "$bitmaps/$2.bmp" "$3" "$4" "$5" "$6" \
    $((dx + $(sc "$3"))) $((dy + $(sc "$4"))) "$(sc "$5")" "$(sc "$6")"
}

for dpi in 144 192; do
  quarters=$((dpi / 24))
  width=$(sc 585) height=$(sc 450)
  scr_wine reg add "$scr_dpi_key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
    scr_fail "cannot set LogPixels"
  scr_start "$scr_dir/out" "$scr" /c
  dialog= seen=
  for ((i = 0; i < 300; i++)); do
    [[ -n $dialog ]] && break
    for w in $(xdotool search --onlyvisible --class orbsaver.scr 2>/dev/null); do
      eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
      seen="$seen ${WIDTH}x$HEIGHT"
      [[ $WIDTH -gt 100 && $HEIGHT -gt 100 ]] && { dialog=$w dx=$X dy=$Y dw=$WIDTH dh=$HEIGHT; break; }
    done
    kill -0 "$scr_pid" 2>/dev/null || break
    sleep 0.1
  done
  [[ -n $dialog ]] || { cat "$scr_dir/out"; scr_fail "LogPixels $dpi: no dialog (windows seen:${seen:- none})"; }
  echo "LogPixels $dpi: a window of $dw x $dh at ($dx, $dy)"
  [[ $dw == "$width" && $dh == "$height" ]] || { echo "  not $width x $height"; failures=$((failures + 1)); }

  # The preview, lit in its scaled rectangle and changing.
  px0=$((dx + $(sc 30))) py0=$((dy + $(sc 50))) px1=$((dx + $(sc 182))) py1=$((dy + $(sc 162)))
  lit=0
  for ((i = 0; i < 200 && lit < 1000; i++)); do
    scr_shot "$scr_dir/first.png" || scr_fail "no screenshot"
    lit=$(scr_measure ink "$scr_dir/first.png" $px0 $py0 $px1 $py1)
    sleep 0.1
  done
  sleep 1
  scr_shot "$scr_dir/later.png" || scr_fail "no screenshot"
  changed=$(scr_measure changed "$scr_dir/first.png" "$scr_dir/later.png" $px0 $py0 $px1 $py1)
  echo "  the preview: $lit pixels lit, $changed changed in 1 s"
  [[ $lit -ge 1000 && $changed -ge 200 ]] || { echo "  the preview is not live"; failures=$((failures + 1)); }

  shot=$scr_dir/later.png
  for rect in "0 0 580 22" "12 218 16 180" "360 408 215 37"; do
    set -- $rect
    scr_expect_below "BKGND at ($1, $2) $3 x $4" "$(part "$shot" BKGND "$@")" 12
  done
  scr_expect_below "BKGND1 along the page's top" "$(scr_measure part "$shot" "$bitmaps/BKGND1.bmp" 0 0 360 12 \
    $((dx + $(sc 210))) $((dy + $(sc 64))) "$(sc 360)" "$(sc 12)")" 12
  while read -r name x y w h; do
    scr_expect_below "$name" "$(face "$shot" "$name" "$x" "$y" "$w" "$h")" 28
  done < <(grep -v '^#' "$source_dir/tests/scr/dialog_faces.txt")
  if [[ -n ${ORBSAVER_SCR_SHOTS:-} ]]; then
    mkdir -p "$ORBSAVER_SCR_SHOTS"
    cp "$shot" "$ORBSAVER_SCR_SHOTS/scaled_dialog_test-$dpi.png"
  fi

  xdotool mousemove $((dx + $(sc 146))) $((dy + $(sc 426))) click 1
  scr_wait_end 10 "the dialog at LogPixels $dpi, after Cancel,"
  echo "  Cancel ended it with exit code $scr_code"
  [[ $scr_code == 0 ]] || { cat "$scr_dir/out"; scr_fail "LogPixels $dpi: Cancel gave exit code $scr_code"; }
done
scr_wine reg delete "$scr_dpi_key" /v LogPixels /f >/dev/null 2>&1

[[ $failures == 0 ]] || scr_fail "$failures of the checks above failed"
echo "ok: at 150 % and 200 % the dialog keeps its layout at the larger size"
