#!/usr/bin/env bash
# orbsaver.scr /c under Wine, seen from the screen: the dialog is a window of 585 x 450
# showing BKGND, every button in the face of its state, the first page's picture and a
# live preview; the second tab shows BKGND2; Cancel ends with 0 and leaves the registry
# as it was, OK ends with 0 and the registry holds the settings. /c:<HWND> with a window
# of another process: that window is disabled while the dialog is open and enabled
# after. The Linux dialog (the Linux build's `orbsaver /c` on the same display) and
# this one go side by side into dialogs-side-by-side.png in $ORBSAVER_SCR_SHOTS, when
# that is set.
# The preview is live when its rectangle is lit and changes from one second to the
# next (the model turns).
# Skipped while orbsaver.scr says that its dialog is not there on Windows.
# Arguments: the source tree, orbsaver.scr, the Wine prefix, preview_parent.exe.
set -uo pipefail
source_dir=$1 scr=$2 scr_prefix=$3 parent=$4
source "$source_dir/tests/scr/scr_lib.sh"
scr_begin
bitmaps=$source_dir/resources/bitmap
info_key="$scr_settings_key\\SV_ORB_1\\INFO"
out_dir=${ORBSAVER_SCR_SHOTS:-}
# Message boxes would wait for a click: their words go to the output instead.
export ORBSAVER_NO_MESSAGE_BOXES=1

# Waits for the dialog, the program's window of 585 x 450: its X window in dialog, its
# top left in dx, dy. Skips when the program said it has no dialog; fails otherwise.
open_dialog() {
  local i w seen=
  for ((i = 0; i < 300; i++)); do
    for w in $(xdotool search --onlyvisible --class orbsaver.scr 2>/dev/null); do
      eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
      seen="$seen ${WIDTH}x$HEIGHT"
      if [[ $WIDTH == 585 && $HEIGHT == 450 ]]; then
        dialog=$w dx=$X dy=$Y
        return 0
      fi
    done
    kill -0 "$scr_pid" 2>/dev/null || break
    sleep 0.1
  done
  if grep -q "not available on Windows yet" "$scr_dir/out"; then
    scr_skip "orbsaver.scr $1 shows no dialog yet: $(tr -d '\r' <"$scr_dir/out" | head -n 1)"
  fi
  cat "$scr_dir/out"
  scr_fail "$1 brought up no window of 585 x 450 (windows seen:${seen:- none})"
}

# Waits up to 20 s until the preview is lit (the dialog's picture is black there);
# false when it is not.
wait_preview() {
  local end=$((SECONDS + 20)) lit=0
  while ((SECONDS < end)); do
    scr_shot "$scr_dir/wait.png" || scr_fail "no screenshot"
    lit=$(scr_measure ink "$scr_dir/wait.png" $((dx + 30)) $((dy + 50)) $((dx + 182)) $((dy + 162)))
    [[ $lit -ge 500 ]] && return 0
    sleep 0.1
  done
  echo "the $1 dialog's preview shows nothing ($lit pixels lit)"
  return 1
}

click() {
  xdotool mousemove $((dx + $1)) $((dy + $2)) click 1
  sleep 0.5
}

# The mean difference of a rectangle of the dialog from a picture: stretched onto it,
# or with "at OX OY" drawn at its own size with its top left at (OX, OY) of the dialog.
differs() {
  local shot=$1 name=$2 x=$3 y=$4 w=$5 h=$6
  if [[ ${7:-} == at ]]; then
    scr_measure picture "$shot" "$bitmaps/$name.bmp" $((dx + x)) $((dy + y)) "$w" "$h" $((dx + $8)) $((dy + $9))
  else
    scr_measure picture "$shot" "$bitmaps/$name.bmp" $((dx + x)) $((dy + y)) "$w" "$h"
  fi
}
failures=0
# A tab's face: Windows' tab control draws its items' own frames and places the
# selected item larger than the others, so the face is looked for within 4 pixels
# of the tab's rectangle.
tab_face() {
  local shot=$1 name=$2 x=$3 y=$4 found
  found=$(scr_measure place "$shot" "$bitmaps/$name.bmp" $((dx + x)) $((dy + y)) 177 34 4)
  set -- $found
  scr_expect_below "$name (found at ($(($2 - dx)), $(($3 - dy))), $4 x $5)" "$1" 10
}
registry() { scr_wine reg query "$info_key" 2>/dev/null | tr -d '\r'; }

# --- /c: the pictures, the preview, the tabs, Cancel.
scr_start "$scr_dir/out" "$scr" /c
open_dialog /c
echo "/c: a window of 585 x 450 at ($dx, $dy)"
wait_preview Windows || failures=$((failures + 1))
sleep 0.5
scr_shot "$scr_dir/first.png" || scr_fail "no screenshot"
cp "$scr_dir/first.png" "$scr_dir/windows.png"
for rect in "0 0 580 22" "12 218 16 180" "360 408 215 37"; do
  set -- $rect
  scr_expect_below "BKGND at ($1, $2)" "$(differs "$scr_dir/first.png" BKGND "$@" at 0 0)" 4
done
# Nothing plays and the built-in flight is shown: the editing buttons and v are
# disabled.
while read -r name x y w h; do
  scr_expect_below "$name" "$(differs "$scr_dir/first.png" "$name" "$x" "$y" "$w" "$h")" 10
done < <(grep -v '^#' "$source_dir/tests/scr/dialog_faces.txt")
tab_face "$scr_dir/first.png" CAMERA_D 210 30
tab_face "$scr_dir/first.png" REND_U 387 30
scr_expect_below "BKGND1 along the page's top" "$(differs "$scr_dir/first.png" BKGND1 210 64 360 12 at 210 64)" 4
lit=$(scr_measure ink "$scr_dir/first.png" $((dx + 30)) $((dy + 50)) $((dx + 182)) $((dy + 162)))
sleep 1
scr_shot "$scr_dir/later.png" || scr_fail "no screenshot"
changed=$(scr_measure changed "$scr_dir/first.png" "$scr_dir/later.png" $((dx + 30)) $((dy + 50)) $((dx + 182)) $((dy + 162)))
echo "  the preview: $lit of its 17024 pixels lit, $changed changed in 1 s"
[[ $lit -ge 500 && $changed -ge 200 ]] || { echo "  the preview is not live"; failures=$((failures + 1)); }

click $((387 + 88)) $((30 + 17))
scr_shot "$scr_dir/second.png" || scr_fail "no screenshot"
tab_face "$scr_dir/second.png" REND_D 387 30
tab_face "$scr_dir/second.png" CAMERA_U 210 30
for rect in "210 64 360 12" "216 150 60 70" "500 360 60 37"; do
  set -- $rect
  scr_expect_below "BKGND2 at ($1, $2)" "$(differs "$scr_dir/second.png" BKGND2 "$@" at 210 64)" 4
done
scr_expect_below "COLOR_U" "$(differs "$scr_dir/second.png" COLOR_U 423 156 62 32)" 4
scr_expect_below "IMAGE_DI" "$(differs "$scr_dir/second.png" IMAGE_DI 423 188 62 32)" 4

before=$(registry)
click $((105 + 41)) $((410 + 16))
scr_wait_end 10 "the dialog, after Cancel,"
echo "/c: Cancel ended it with exit code $scr_code"
[[ $scr_code == 0 ]] || { cat "$scr_dir/out"; scr_fail "Cancel: exit code $scr_code"; }
[[ "$(registry)" == "$before" ]] || scr_fail "Cancel changed the registry"

# --- OK writes every setting.
scr_wine reg delete "$scr_settings_key" /f >/dev/null 2>&1 || true
scr_start "$scr_dir/out" "$scr" /c
open_dialog /c
sleep 1
click $((20 + 40)) $((410 + 16))
scr_wait_end 10 "the dialog, after OK,"
echo "/c: OK ended it with exit code $scr_code"
[[ $scr_code == 0 ]] || { cat "$scr_dir/out"; scr_fail "OK: exit code $scr_code"; }
values=$(registry | grep -c 'REG_')
echo "  the settings key holds $values values"
[[ $values == 35 ]] || { registry; scr_fail "OK left $values values, not 35"; }

# --- /c:<HWND> with a window of another process.
scr_start "$scr_dir/parent" "$parent" 60
parent_pid=$scr_pid
for _ in $(seq 100); do [[ -s $scr_dir/parent ]] && break; sleep 0.1; done
read -r hwnd _ < <(tr -d '\r' <"$scr_dir/parent") || scr_fail "the other window gave no handle"
scr_start "$scr_dir/out" "$scr" "/c:$hwnd"
open_dialog "/c:$hwnd"
sleep 0.5
tr -d '\r' <"$scr_dir/parent" | grep -qx 'enabled 0' || scr_fail "/c:$hwnd left its owner enabled"
click $((105 + 41)) $((410 + 16))
scr_wait_end 10 "/c:$hwnd, after Cancel,"
[[ $scr_code == 0 ]] || scr_fail "/c:$hwnd: exit code $scr_code"
sleep 0.5
[[ $(tr -d '\r' <"$scr_dir/parent" | grep '^enabled' | tail -n 1) == "enabled 1" ]] ||
  scr_fail "/c:$hwnd did not enable its owner again"
echo "/c:$hwnd: the other program's window was disabled while the dialog was open, enabled after"
kill "$parent_pid" 2>/dev/null

# --- The Linux dialog beside this one.
linux=${ORBSAVER_LINUX_BUILD:-$source_dir/build}/orbsaver
if [[ -z $out_dir ]]; then
  echo "ORBSAVER_SCR_SHOTS is not set: no side-by-side picture"
elif [[ -x $linux ]]; then
  XDG_CONFIG_HOME=$scr_dir "$linux" /c >"$scr_dir/linux.out" 2>&1 &
  linux_pid=$!
  scr_pids+=("$linux_pid")
  wx=$dx wy=$dy found=
  for _ in $(seq 200); do
    for w in $(xdotool search --onlyvisible --class Orbsaver 2>/dev/null); do
      eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
      [[ $WIDTH == 585 && $HEIGHT == 450 ]] && { dx=$X dy=$Y found=1; break 2; }
    done
    sleep 0.1
  done
  if [[ -n $found ]]; then
    wait_preview Linux || cat "$scr_dir/linux.out"
    scr_shot "$scr_dir/linux.png" || scr_fail "no screenshot"
    scr_measure beside "$out_dir/dialogs-side-by-side.png" "$scr_dir/linux.png" "$dx" "$dy" 585 450 \
      "$scr_dir/windows.png" "$wx" "$wy" 585 450
    echo "the Linux dialog (left) and this one (right): $out_dir/dialogs-side-by-side.png"
  else
    echo "the Linux build's dialog did not come up: no side-by-side picture"
    cat "$scr_dir/linux.out"
  fi
  kill "$linux_pid" 2>/dev/null
else
  echo "no Linux build at $linux: no side-by-side picture"
fi

[[ $failures == 0 ]] || scr_fail "$failures of the pictures above are not where they belong"
echo "ok: the dialog shows its pictures and a live preview, and ends as it should"
