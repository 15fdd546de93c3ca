#!/usr/bin/env bash
# Frame pacing where the present does not wait for the display: on an Xvfb screen of
# 800 x 600 (the saver's own mode, so nothing is scaled and the frame is drawn into
# the window itself) the full-screen saver with a one-cube model may use no more
# than a small share of one core, instead of drawing as fast as it can, and what it
# draws is on the screen. Runs on a display of its own.
set -u
build=$1
limit=${2:-40}   # per cent of one core; a paced cube takes about 20
if ! command -v xvfb-run >/dev/null; then echo "SKIP: xvfb-run is not installed"; exit 77; fi
if [ -z "${ORBSAVER_PACING_INNER:-}" ]; then
  ORBSAVER_PACING_INNER=1 exec xvfb-run -a -s "-screen 0 800x600x24 +extension GLX" "$0" "$@"
fi
home=$(mktemp -d)
saver=0
trap '[ "$saver" != 0 ] && kill "$saver" 2>/dev/null; rm -rf "$home"' EXIT
mkdir -p "$home/data"
# The data directory's multi.x is the default model: a cube here.
cat > "$home/data/multi.x" <<'X'
xof 0303txt 0032
Mesh Cube {
 8;
 -1;-1;-1;, 1;-1;-1;, 1;-1;1;, -1;-1;1;, -1;1;-1;, 1;1;-1;, 1;1;1;, -1;1;1;;
 6;
 4;0,1,2,3;, 4;7,6,5,4;, 4;0,4,5,1;, 4;1,5,6,2;, 4;2,6,7,3;, 4;3,7,4,0;;
}
X
XDG_CONFIG_HOME=$home ORBSAVER_DATA_DIR=$home/data "$build/orbsaver" /s 2>"$home/err" &
saver=$!
sleep 2   # start-up, and the first frames that copy everything to the GPU
ticks() { awk '{print $14 + $15}' "/proc/$saver/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks); s0=$(date +%s%N)
sleep 4
t1=$(ticks); s1=$(date +%s%N)
id=$("$build/orbsaver-xtool" find "D3DRM Example" | head -n1 | cut -d' ' -f1)
lit=$("$build/orbsaver-xtool" lit "$id")
kill "$saver"; wait "$saver"; saver=0
share=$(( (t1 - t0) * 100 * 1000000000 / hz / (s1 - s0) ))
echo "the saver used $share % of one core; $lit pixels of its window are lit"
[ "${lit:-0}" -gt 2000 ] || { echo "FAIL: the cube and the banner are not on the screen"; exit 1; }
if grep -q . "$home/err"; then echo "stderr:"; cat "$home/err"; fi
if [ "$share" -gt "$limit" ]; then echo "FAIL: more than $limit %"; exit 1; fi
echo "ok: paced"
