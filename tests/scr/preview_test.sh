#!/usr/bin/env bash
# orbsaver.scr /p <HWND> under Wine inside a window of another process (preview_parent,
# a 400 x 300 window at (100, 100)): the preview's window is that window's child and
# fills it, the preview draws frames there, and it ends with exit code 0 when that
# window goes. A handle that is no window, and a number too large for one, end with
# exit code 1.
# Wine 8 shows nothing that a process draws into a child of another process's window
# (the child's device context has no X drawable there), so the frames are counted
# from Wine's own trace of wglSwapBuffers, and what reaches the screen is only told.
# Arguments: the source tree, orbsaver.scr, the Wine prefix, preview_parent.exe.
set -uo pipefail
source_dir=$1 scr=$2 scr_prefix=$3 parent=$4
source "$source_dir/tests/scr/scr_lib.sh"
scr_begin

# "/p HWND" and "/p:HWND", the two forms Windows passes.
for form in space colon; do
  scr_start "$scr_dir/parent" "$parent" 8
  parent_pid=$scr_pid
  for _ in $(seq 100); do [[ -s $scr_dir/parent ]] && break; sleep 0.1; done
  read -r hwnd x y w h < <(tr -d '\r' <"$scr_dir/parent") || scr_fail "the parent window gave no handle"
  [[ "$hwnd $x $y $w $h" =~ ^[0-9]+\ [0-9]+\ [0-9]+\ [0-9]+\ [0-9]+$ ]] ||
    scr_fail "the parent window printed '$(cat "$scr_dir/parent")'"
  if [[ $form == space ]]; then WINEDEBUG=trace+wgl scr_start "$scr_dir/out" "$scr" /p "$hwnd"
  else WINEDEBUG=trace+wgl scr_start "$scr_dir/out" "$scr" "/p:$hwnd"; fi
  sleep 3
  kill -0 "$scr_pid" 2>/dev/null || { cat "$scr_dir/out"; scr_fail "/p ended while its parent was there"; }
  scr_shot "$scr_dir/shot.png" || scr_fail "no screenshot"
  inside=$(scr_measure ink "$scr_dir/shot.png" "$x" "$y" $((x + w)) $((y + h)))
  outside=$(scr_measure ink "$scr_dir/shot.png" 0 0 800 "$y")
  echo "/p ($form): $inside of $((w * h)) pixels of the parent's window lit on the screen, $outside above it"
  [[ $outside -lt 100 ]] || scr_fail "the preview drew outside its parent's window"
  frames=$(grep -c 'wglSwapBuffers' "$scr_dir/out")
  echo "/p ($form): $frames frames presented in its first 3 s"
  [[ $frames -gt 10 ]] || { grep -v '^[0-9a-f]*:trace' "$scr_dir/out"; scr_fail "the preview presented $frames frames"; }
  # The parent closes its window after 8 s; the preview must follow within 5 s.
  scr_wait_end 12 "the preview, after its parent's window went,"
  echo "/p ($form) ended with exit code $scr_code once its parent's window went"
  child=$(tr -d '\r' <"$scr_dir/parent" | grep '^child ')
  echo "the parent held: $child"
  [[ $child == "child D3DRM Example $w $h" ]] ||
    scr_fail "the parent's window did not hold the preview's window at its size"
  [[ $scr_code == 0 ]] || { cat "$scr_dir/out"; scr_fail "exit code $scr_code"; }
  wait "$parent_pid" 2>/dev/null || true
done

# No window by that number, and a number no handle can be.
for hwnd in 999999 99999999999; do
  scr_start "$scr_dir/out" "$scr" /p "$hwnd"
  scr_wait_end 20 "/p $hwnd"
  echo "/p $hwnd ended with exit code $scr_code"
  [[ $scr_code == 1 ]] || { cat "$scr_dir/out"; scr_fail "/p $hwnd: exit code $scr_code, not 1"; }
done
echo "ok: the preview draws in another program's window and ends with it"
