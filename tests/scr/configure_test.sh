#!/usr/bin/env bash
# orbsaver.scr /c, /c:<HWND> and no switch under Wine: the settings dialog is not there
# on Windows yet, so each says so in a message box and ends with exit code 0 once the
# box is closed (here by Enter). With ORBSAVER_NO_MESSAGE_BOXES the words go to the
# program's reasons only, and it ends at once.
# Arguments: the source tree, orbsaver.scr, the Wine prefix.
set -uo pipefail
source_dir=$1 scr=$2 scr_prefix=$3
source "$source_dir/tests/scr/scr_lib.sh"
scr_begin
words="The settings dialog is not available on Windows yet"

for switch in /c /c:0 ""; do
  ORBSAVER_NO_MESSAGE_BOXES=1 scr_start "$scr_dir/out" "$scr" $switch
  scr_wait_end 20 "'$switch' without message boxes"
  echo "'$switch' without message boxes: exit code $scr_code"
  [[ $scr_code == 0 ]] || { cat "$scr_dir/out"; scr_fail "exit code $scr_code"; }
  grep -q "$words" "$scr_dir/out" || { cat "$scr_dir/out"; scr_fail "'$switch' did not say the dialog is missing"; }

  scr_start "$scr_dir/out" "$scr" $switch
  scr_wait_window orbsaver.scr 20 || { cat "$scr_dir/out"; scr_fail "'$switch' showed no message box"; }
  sleep 1
  kill -0 "$scr_pid" 2>/dev/null || scr_fail "'$switch' ended before its message box was closed"
  box=$(xdotool search --onlyvisible --class orbsaver.scr | head -n 1)
  xdotool windowfocus --sync "$box" 2>/dev/null || true
  xdotool key --window "$box" Return
  scr_wait_end 10 "'$switch', after Enter on its message box,"
  echo "'$switch' with its message box: exit code $scr_code after Enter"
  [[ $scr_code == 0 ]] || { cat "$scr_dir/out"; scr_fail "exit code $scr_code"; }
done
echo "ok: the settings modes say the dialog is missing and end with 0"
