#!/usr/bin/env bash
# Side by side: the Linux build's orbsaver /s and orbsaver.scr /s under Wine, with the
# same settings (no message, no banner, no spin, a blue background), on the same Xvfb
# display, give the same picture. The frame-rate counter, which full screen always
# shows and whose rate differs from run to run, is left out of the comparison. Both
# draw with the same Mesa, so only rounding may differ: at most ORBSAVER_SCR_TOLERANCE
# per mille of the pixels (default 5) may differ by more than 24 in a channel.
# A missing model, wrong colours or a wrong size differ in far more.
# The Linux build is $ORBSAVER_LINUX_BUILD, or build/ of the source tree; without its
# orbsaver the test is skipped.
# Arguments: the source tree, orbsaver.scr, the Wine prefix.
set -uo pipefail
source_dir=$1 scr=$2 scr_prefix=$3
linux_build=${ORBSAVER_LINUX_BUILD:-$source_dir/build}
tolerance=${ORBSAVER_SCR_TOLERANCE:-5}
[[ -x $linux_build/orbsaver ]] ||
  { echo "SKIP: no Linux build's orbsaver in $linux_build (set ORBSAVER_LINUX_BUILD)"; exit 77; }
source "$source_dir/tests/scr/scr_lib.sh"
scr_begin

# Both read the default model and texture from their own data folder: the same files.
scr_data=$(dirname "$scr")/data
for f in multi.x win95.ppm; do
  cmp -s "$linux_build/data/$f" "$scr_data/$f" ||
    scr_skip "the two builds' data folders hold different $f ($linux_build/data, $scr_data)"
done

# The settings key, as REGEDIT4: the first-run values but for the switches above.
settings=$scr_dir/settings.reg
{
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO]\r\n'
  for pair in S_ON=0 M_ON=0 ORIG=1 CM_X=0 CM_Y=30 CM_Z=-30 ROT_X=0 ROT_Y=0 ROT_Z=0 OJ_X=0 \
              OJ_Y=0 OJ_Z=0 L_AT=1 ANIME=0 LT_DIR=95 LT_AMB=20 AN_NUM=0 DITHER=0 ALIAS=0 FPS=0 \
              CPR=0 USE_I=0 MSN=0 SPD=8; do
    printf '"%s"="%6d"\r\n' "${pair%%=*}" "${pair#*=}"
  done
  printf '"TEX_Q"=hex:00,00,00,00\r\n"REN_Q"=hex:89,00,00,00\r\n"COLOR"=hex:00,00,ff,00\r\n'
  printf '"COZ"=hex:00,00,00,00,00,00,00,00,00,00,00,00\r\n"COY"=hex:00,00,00,00,00,00,00,00,00,00,00,00\r\n'
} >"$settings"

# The counter's corner, bottom left ("NN FPS" at (8, 572) at this size).
counter="0 560 200 600"

# Linux: the store file under XDG_CONFIG_HOME.
mkdir -p "$scr_dir/config/orbsaver"
cp "$settings" "$scr_dir/config/orbsaver/user.reg"
XDG_CONFIG_HOME=$scr_dir/config "$linux_build/orbsaver" /s >"$scr_dir/linux.out" 2>&1 &
scr_pid=$!
scr_pids+=("$scr_pid")
sleep 4
kill -0 "$scr_pid" 2>/dev/null || { cat "$scr_dir/linux.out"; scr_fail "the Linux saver ended by itself"; }
scr_shot "$scr_dir/linux.png" || scr_fail "no screenshot"
xdotool key space
scr_wait_end 5 "the Linux saver, after a key,"
[[ $scr_code == 0 ]] || { cat "$scr_dir/linux.out"; scr_fail "the Linux saver's exit code $scr_code"; }

# The Linux saver's picture is gone from the screen before the other one starts.
scr_shot "$scr_dir/between.png" || scr_fail "no screenshot"
left=$(scr_measure ink "$scr_dir/between.png" 0 0 800 600)
[[ $left -lt 100 ]] || scr_fail "the Linux saver's picture stays on the screen ($left pixels lit)"

# Windows: the same file imported into the registry.
windows_path=$(scr_wine winepath -w "$settings" 2>/dev/null | tr -d '\r')
scr_wine regedit /S "$windows_path" || scr_fail "regedit /S failed"
scr_start "$scr_dir/windows.out" "$scr" /s
scr_wait_window orbsaver.scr 20 || { cat "$scr_dir/windows.out"; scr_fail "no saver window"; }
sleep 3
scr_shot "$scr_dir/windows.png" || scr_fail "no screenshot"
scr_key
scr_wait_end 5 "orbsaver.scr, after a key,"
[[ $scr_code == 0 ]] || { cat "$scr_dir/windows.out"; scr_fail "orbsaver.scr's exit code $scr_code"; }

read -r per_mille largest count < <(scr_measure compare "$scr_dir/linux.png" "$scr_dir/windows.png" $counter)
model_linux=$(scr_measure ink "$scr_dir/linux.png" 300 200 500 400 0 0 255)
model_windows=$(scr_measure ink "$scr_dir/windows.png" 300 200 500 400 0 0 255)
echo "model pixels in the middle: Linux $model_linux, Windows $model_windows"
echo "differing pixels (by more than 24): $count ($per_mille per mille); largest difference $largest"
[[ $model_linux -gt 20000 && $model_windows -gt 20000 ]] || scr_fail "no model in the middle"
[[ $per_mille -le $tolerance ]] || scr_fail "the pictures differ in more than $tolerance per mille"
echo "ok: the same picture on both builds"
