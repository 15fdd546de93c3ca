#!/usr/bin/env bash
# The Win32 monitor and display-mode tests on a real X server with two monitors: Xorg
# with the dummy video driver, a second monitor added with xrandr, and Wine in a prefix
# of its own, whose desktop lives on that server. Both monitors must be reported, the
# primary's mode switched and given back, and a black window made for the other one.
# Skipped (77) where Xorg, the dummy driver, xrandr or Wine are missing, or the server
# will not start here.
set -euo pipefail
source_dir=$1
program=$2
prefix=$3
for tool in /usr/bin/Xorg /usr/bin/xrandr; do
  [[ -x $tool ]] || { echo "SKIP: $tool is not installed"; exit 77; }
done
[[ -f /usr/lib/xorg/modules/drivers/dummy_drv.so ]] ||
  { echo "SKIP: the dummy video driver is not installed"; exit 77; }
command -v wine >/dev/null || { echo "SKIP: Wine is not installed"; exit 77; }

dir=$(mktemp -d)
server=
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  if [[ -n $server ]]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$dir"
}
trap cleanup EXIT

# The dummy monitors' own mode (1024 x 768) and the saver's.
cat >"$dir/xorg.conf" <<'EOF'
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
  Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1024x768" "800x600"
    Virtual 4096 1536
  EndSubSection
EndSection
EOF
# The server picks its display itself and writes its number once it takes connections.
/usr/bin/Xorg -displayfd 3 -noreset -nolisten tcp -sharevts -novtswitch \
  -config "$dir/xorg.conf" -logfile "$dir/log" 3>"$dir/display" >/dev/null 2>&1 &
server=$!
for _ in $(seq 100); do
  [[ -s $dir/display ]] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
[[ -s $dir/display ]] || { echo "SKIP: Xorg with the dummy driver does not start here"; exit 77; }
export DISPLAY=:$(tr -d '\n' <"$dir/display")

xrandr --newmode 1024x768_b 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
xrandr --addmode DUMMY1 1024x768_b
xrandr --output DUMMY1 --mode 1024x768_b --right-of DUMMY0
[[ $(xrandr --listmonitors | head -n 1) == "Monitors: 2" ]] || { echo "FAIL: no second monitor"; exit 1; }

export ORBSAVER_WINEPREFIX=$prefix
"$source_dir/tools/wine-run" --prepare
out=$("$source_dir/tools/wine-run" "$program" \
  --gtest_filter='Win32Windows.TheDesktopAndItsPrimaryMonitor:Win32Windows.FullScreen*' 2>&1) || {
  echo "$out"
  exit 1
}
echo "$out"
# Here every part must have run: a monitor that offers modes, a second monitor.
if grep -q '\[  SKIPPED \]' <<<"$out"; then echo "FAIL: a test skipped on two monitors"; exit 1; fi
# The primary shows the desktop's mode again.
xrandr | grep -q '^DUMMY0 connected primary 1024x768+0+0' ||
  { echo "FAIL: the primary's mode was not given back"; xrandr; exit 1; }
