#!/usr/bin/env bash
# When the X server goes away under a running saver (a session ending, a host's
# display closing), the saver ends at once, with its own one line on stderr,
# instead of hanging in its shutdown on a connection that is no more.
set -u
build=$1
if ! command -v Xvfb >/dev/null; then echo "SKIP: Xvfb is not installed"; exit 77; fi
home=$(mktemp -d)
server=0; saver=0
trap '[ "$saver" != 0 ] && kill -9 "$saver" 2>/dev/null; [ "$server" != 0 ] && kill "$server" 2>/dev/null; rm -rf "$home"' EXIT
# A display number of its own, free now.
for n in $(seq 140 199); do [ -e "/tmp/.X$n-lock" ] || { display=$n; break; }; done
Xvfb ":$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
DISPLAY=":$display" XDG_CONFIG_HOME=$home "$build/orbsaver" /s 2>"$home/err" &
saver=$!
# The display goes once the saver is running on it: its window is there and it has
# drawn a while. (Gone earlier, a library still starting may say its own words.)
DISPLAY=":$display" "$build/orbsaver-xtool" wait "D3DRM Example" 20 \
  || { echo "FAIL: no saver window"; cat "$home/err"; exit 1; }
sleep 1
kill "$server"; wait "$server" 2>/dev/null; server=0
for _ in $(seq 30); do kill -0 "$saver" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$saver" 2>/dev/null; then
  echo "FAIL: the saver still runs 3 s after its display went away"; cat "$home/err"; exit 1
fi
wait "$saver"; code=$?; saver=0
echo "exit code $code; stderr:"; cat "$home/err"
grep -q "^orbsaver: the X display went away" "$home/err" || { echo "FAIL: no word of it on stderr"; exit 1; }
[ "$(wc -l < "$home/err")" -eq 1 ] || { echo "FAIL: more than one line on stderr"; exit 1; }
echo "ok: ended"
