# Shared by the display tests of orbsaver.scr under Wine (sourced, not run).
# Each test gets an X display of its own, mostly an Xvfb of 800 x 600 (the saver's own
# mode, so the picture is neither switched nor scaled and its overlays stand where the
# program puts them at that size), and the Wine prefix $scr_prefix, made once and then only
# started on that display: its wineserver and Wine's services belong to one display
# at a time, which is why the tests take the prefix one at a time (RESOURCE_LOCK).
# The settings key is removed before each test, so the program starts from its
# first-run defaults unless the test imports others.
#
# Variables a test sets before scr_begin: source_dir, scr_prefix, and scr_screen for an
# Xvfb of another size than 800x600. After it: scr_dir (a private folder removed at
# the end), DISPLAY.

scr_python=/usr/bin/python3
scr_settings_key='HKEY_CURRENT_USER\Software\MERO'
scr_dpi_key='HKEY_CURRENT_USER\Control Panel\Desktop'
scr_server=
scr_pids=()

scr_skip() { echo "SKIP: $*"; exit 77; }
scr_fail() { echo "FAIL: $*"; exit 1; }

scr_cleanup() {
  local pid
  for pid in "${scr_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  WINEPREFIX=$scr_prefix wineserver -k 2>/dev/null || true
  if [[ -n $scr_server ]]; then kill "$scr_server" 2>/dev/null || true; wait "$scr_server" 2>/dev/null || true; fi
  rm -rf "$scr_dir"
}

# Skips when a tool the tests need is missing; starts the display (an Xvfb screen of
# 800 x 600, or with "dummy" Xorg's dummy driver with two monitors of 1024 x 768 side
# by side, the primary on the left) and the prefix.
scr_begin() {
  local kind=${1:-xvfb} tool
  for tool in xwd xdotool wine wineserver; do
    command -v "$tool" >/dev/null || scr_skip "$tool is not installed"
  done
  "$scr_python" -c 'import numpy, PIL' 2>/dev/null || scr_skip "python3's PIL and numpy are not installed"
  scr_dir=$(mktemp -d)
  trap scr_cleanup EXIT
  if [[ $kind == dummy ]]; then scr_start_dummy; else scr_start_xvfb; fi
  export ORBSAVER_WINEPREFIX=$scr_prefix
  # The Windows sound goes to ALSA's null device, not to a card this machine lacks.
  export HOME=$scr_dir
  printf 'pcm.!default { type null }\n' >"$HOME/.asoundrc"
  "$source_dir/tools/wine-run" --prepare
  scr_wine reg delete "$scr_settings_key" /f >/dev/null 2>&1 || true
  # The display scale a test of scaling may have left in the prefix.
  scr_wine reg delete "$scr_dpi_key" /v LogPixels /f >/dev/null 2>&1 || true
}

scr_start_xvfb() {
  command -v Xvfb >/dev/null || scr_skip "Xvfb is not installed"
  local n display=
  for n in $(seq 150 199); do [[ -e /tmp/.X$n-lock ]] || { display=$n; break; }; done
  [[ -n $display ]] || scr_skip "no free X display number"
  Xvfb ":$display" -screen 0 "${scr_screen:-800x600}x24" +extension GLX -nolisten tcp >/dev/null 2>&1 &
  scr_server=$!
  for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done
  [[ -e /tmp/.X11-unix/X$display ]] || scr_skip "Xvfb does not start here"
  export DISPLAY=:$display
}

scr_start_dummy() {
  local tool
  for tool in /usr/bin/Xorg /usr/bin/xrandr; do
    [[ -x $tool ]] || scr_skip "$tool is not installed"
  done
  [[ -f /usr/lib/xorg/modules/drivers/dummy_drv.so ]] || scr_skip "the dummy video driver is not installed"
  cat >"$scr_dir/xorg.conf" <<'CONF'
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
CONF
  # The server picks its display itself and writes its number once it takes connections.
  /usr/bin/Xorg -displayfd 3 -noreset -nolisten tcp -sharevts -novtswitch \
    -config "$scr_dir/xorg.conf" -logfile "$scr_dir/xorg.log" 3>"$scr_dir/display" >/dev/null 2>&1 &
  scr_server=$!
  for _ in $(seq 100); do
    [[ -s $scr_dir/display ]] && break
    kill -0 "$scr_server" 2>/dev/null || break
    sleep 0.1
  done
  [[ -s $scr_dir/display ]] || scr_skip "Xorg with the dummy driver does not start here"
  export DISPLAY=:$(tr -d '\n' <"$scr_dir/display")
  xrandr --newmode 1024x768_b 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
  xrandr --addmode DUMMY1 1024x768_b
  xrandr --output DUMMY1 --mode 1024x768_b --right-of DUMMY0
  [[ $(xrandr --listmonitors | head -n 1) == "Monitors: 2" ]] || scr_fail "no second monitor"
}

scr_wine() { "$source_dir/tools/wine-run" "$@"; }

# Starts a Windows program in the background; its pid in scr_pid, its output in FILE.
scr_start() {
  local out=$1; shift
  scr_wine "$@" >"$out" 2>&1 &
  scr_pid=$!
  scr_pids+=("$scr_pid")
}

# Waits up to SECONDS for the program started last to end; its exit code in scr_code.
# Fails the test when it is still running then.
scr_wait_end() {
  local seconds=$1 what=$2 i
  for ((i = 0; i < seconds * 10; i++)); do
    kill -0 "$scr_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$scr_pid" 2>/dev/null && scr_fail "$what still runs after $seconds s"
  scr_code=0
  wait "$scr_pid" || scr_code=$?
}

# Waits until an X window of the Windows program NAME (its WM_CLASS, as Wine gives it)
# is shown, up to SECONDS.
scr_wait_window() {
  local name=$1 seconds=$2 i
  for ((i = 0; i < seconds * 10; i++)); do
    xdotool search --onlyvisible --class "$name" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# Saves the screen as FILE.png; a copy goes to $ORBSAVER_SCR_SHOTS when that is set.
scr_shot() {
  "$scr_python" "$source_dir/tests/scr/screen.py" shot "$1" || return 1
  if [[ -n ${ORBSAVER_SCR_SHOTS:-} ]]; then
    mkdir -p "$ORBSAVER_SCR_SHOTS"
    cp "$1" "$ORBSAVER_SCR_SHOTS/$(basename "$0" .sh)-$(basename "$1")"
  fi
}
scr_measure() { "$scr_python" "$source_dir/tests/scr/screen.py" "$@"; }

# Says WHAT and its VALUE, and counts a failure in $failures unless VALUE is below LIMIT.
scr_expect_below() {
  local what=$1 value=$2 limit=$3
  if awk -v v="$value" -v l="$limit" 'BEGIN { exit !(v < l) }'; then
    echo "  $what: $value"
  else
    echo "  $what: $value, not below $limit"
    failures=$((failures + 1))
  fi
}

# Presses a key in the program's window: its X window gets the focus first, as a user's
# click would give it (without a window manager the focus may still be elsewhere).
scr_key() {
  local window
  window=$(xdotool search --onlyvisible --class orbsaver.scr 2>/dev/null | head -n 1)
  [[ -n $window ]] && xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key "${1:-space}"
}
