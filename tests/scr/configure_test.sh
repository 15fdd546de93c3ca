#!/usr/bin/env bash
# orbsaver.scr /c, /c:<handle that is no window> and no switch under Wine: each shows
# the settings dialog, a window of 585 x 450 that stays open until it is answered, and
# Escape (the dialog's Cancel) ends the run with exit code 0.
# Arguments: the source tree, orbsaver.scr, the Wine prefix.
set -uo pipefail
source_dir=$1 scr=$2 scr_prefix=$3
source "$source_dir/tests/scr/scr_lib.sh"
scr_begin

for switch in /c /c:0 ""; do
  scr_start "$scr_dir/out" "$scr" $switch
  scr_wait_window orbsaver.scr 30 || { cat "$scr_dir/out"; scr_fail "'$switch' showed no dialog"; }
  sleep 2
  kill -0 "$scr_pid" 2>/dev/null || { cat "$scr_dir/out"; scr_fail "'$switch' ended before its dialog was answered"; }
  size=""
  for window in $(xdotool search --onlyvisible --class orbsaver.scr); do
    geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
    [[ $geometry == 585x450 ]] && size=$geometry
  done
  [[ $size == 585x450 ]] || scr_fail "'$switch' showed no window of 585 x 450"
  scr_key Escape
  scr_wait_end 20 "'$switch', after Escape on its dialog,"
  echo "'$switch': a dialog of $size, exit code $scr_code after Escape"
  [[ $scr_code == 0 ]] || { cat "$scr_dir/out"; scr_fail "exit code $scr_code"; }
done
echo "ok: the settings modes show the dialog and end with 0 on Escape"
