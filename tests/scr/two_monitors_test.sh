#!/usr/bin/env bash
# orbsaver.scr /s under Wine on two monitors of Xorg's dummy driver (1024 x 768 each,
# the primary on the left): the primary switches to 800 x 600 and shows the scene, a
# window of the saver covers the second monitor and it stays black, and after a key
# (exit code 0) the primary has its own mode again.
# Arguments: the source tree, orbsaver.scr, the Wine prefix.
set -uo pipefail
source_dir=$1 scr=$2 scr_prefix=$3
source "$source_dir/tests/scr/scr_lib.sh"
scr_begin dummy
xrandr | grep -q '^DUMMY0 connected primary 1024x768+0+0' || scr_fail "the primary does not start at 1024 x 768"

scr_start "$scr_dir/out" "$scr" /s
scr_wait_window orbsaver.scr 20 || { cat "$scr_dir/out"; scr_fail "no saver window"; }
# The mode switch and the first frames take a few seconds on a busy machine: the screen
# is read once a second until the model is there, for up to 15 s.
for attempt in $(seq 15); do
  sleep 1
  primary=$(xrandr | grep '^DUMMY0 connected' | grep -o '[0-9]*x[0-9]*+[0-9]*+[0-9]*')
  second=$(xrandr | grep '^DUMMY1 connected' | grep -o '[0-9]*x[0-9]*+[0-9]*+[0-9]*')
  scr_shot "$scr_dir/shot.png" || scr_fail "no screenshot"
  model=$(scr_measure ink "$scr_dir/shot.png" 300 200 500 400)
  [[ $primary == 800x600+0+0 && $model -gt 20000 ]] && break
done
echo "while saving (after ${attempt} s): primary $primary, second monitor $second"
# The windows of the saver's process, as "width height x y" (absolute positions).
windows=$(for w in $(xdotool search --onlyvisible --class orbsaver.scr); do
  xwininfo -id "$w" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
    /^  Width/{w=$NF} /^  Height/{h=$NF} END{print w "x" h "+" x "+" y}'
done)
echo "the saver's windows: $(echo $windows)"
read -r sw sh sx sy < <(tr 'x+' '  ' <<<"$second")
second_lit=$(scr_measure ink "$scr_dir/shot.png" "$sx" "$sy" $((sx + sw)) $((sy + sh)))
echo "lit pixels: the model $model, the second monitor $second_lit"
scr_key
scr_wait_end 5 "the saver, after a key,"
after=$(xrandr | grep '^DUMMY0 connected' | grep -o '[0-9]*x[0-9]*+[0-9]*+[0-9]*')
echo "exit code $scr_code; afterwards the primary is $after"
[[ $scr_code == 0 ]] || { cat "$scr_dir/out"; scr_fail "exit code $scr_code"; }
[[ $primary == 800x600+0+0 ]] || scr_fail "the primary was not switched to 800 x 600"
grep -qx "$second" <<<"$windows" || scr_fail "no window of the saver covers the second monitor ($second)"
[[ $second_lit -lt 100 ]] || scr_fail "the second monitor is not black"
[[ $model -gt 20000 ]] || scr_fail "no model on the primary"
[[ $after == 1024x768+0+0 ]] || scr_fail "the primary's mode was not given back"
echo "ok: the primary switched and came back, the second monitor black"
