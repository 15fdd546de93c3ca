#!/usr/bin/env bash
# orbsaver.scr /s under Wine, from its first-run settings: the screen shows the scene
# (the model in the middle), the frame-rate counter bottom left and the banner bottom
# right; a key ends it with exit code 0 within a few seconds.
# Arguments: the source tree, orbsaver.scr, the Wine prefix for these tests.
set -uo pipefail
source_dir=$1 scr=$2 scr_prefix=$3
source "$source_dir/tests/scr/scr_lib.sh"
scr_begin

scr_start "$scr_dir/out" "$scr" /s
scr_wait_window orbsaver.scr 20 || { cat "$scr_dir/out"; scr_fail "no saver window"; }
sleep 3   # the counter shows nothing in its first second
scr_shot "$scr_dir/shot.png" || scr_fail "no screenshot"
colours=$(scr_measure distinct "$scr_dir/shot.png")
model=$(scr_measure ink "$scr_dir/shot.png" 300 200 500 400)        # 40000 pixels
counter=$(scr_measure ink "$scr_dir/shot.png" 0 566 160 600)        # "NN FPS" at (8, 572)
banner=$(scr_measure ink "$scr_dir/shot.png" 610 575 796 597)       # the banner's rectangle
corner=$(scr_measure ink "$scr_dir/shot.png" 0 0 100 100)
echo "$colours colours; lit pixels: model $model, counter $counter, banner $banner, top-left corner $corner"
kill -0 "$scr_pid" 2>/dev/null || { cat "$scr_dir/out"; scr_fail "the saver ended by itself"; }
start=$(date +%s%N)
scr_key
scr_wait_end 5 "the saver, after a key,"
took=$(( ($(date +%s%N) - start) / 1000000 ))
echo "a key ended it in $took ms with exit code $scr_code"
[[ $scr_code == 0 ]] || { cat "$scr_dir/out"; scr_fail "exit code $scr_code after a key"; }
[[ $colours -gt 100 ]] || scr_fail "the screen is nearly uniform"
[[ $model -gt 20000 ]] || scr_fail "no model in the middle of the screen"
[[ $counter -gt 300 ]] || scr_fail "no frame-rate counter bottom left"
[[ $banner -gt 500 ]] || scr_fail "no banner bottom right"
[[ $corner -lt 100 ]] || scr_fail "the black background is not black"
echo "ok: scene, counter and banner shown; ended by a key"
