#!/usr/bin/env bash
# orbsaver as a display mode of MATE's screen saver: the real mate-screensaver, in a
# D-Bus session of its own, with its settings in a key file that picks orbsaver's
# entry alone, activates it; orbsaver draws in MATE's window; deactivating ends it
# within a second. Runs on a display of its own (the host takes the pointer and keys).
#
# MATE's screen saver runs only programs that lie in XScreenSaver's folders of
# display modes (/usr/libexec/xscreensaver among them), and the entry names the link
# there as the package installs it. So the build is installed for /usr into a staging
# folder, and /usr/libexec/xscreensaver is replaced, in a mount namespace of the test's
# own, by a folder holding that link alone: the system itself stays untouched.
set -u
build=$(cd "$1" && pwd)
phase=${2:-start}
xtool="$build/orbsaver-xtool"
mode=/usr/libexec/xscreensaver/orbsaver

case $phase in
start)
  for p in mate-screensaver mate-screensaver-command dbus-run-session unshare; do
    command -v $p >/dev/null || { echo "SKIP: $p is not installed"; exit 77; }
  done
  [ -n "${DISPLAY:-}" ] || { echo "SKIP: no display"; exit 77; }
  if ! unshare -m true 2>/dev/null; then
    echo "SKIP: no mount namespace of the test's own (unshare -m is refused here), so the"
    echo "      display mode cannot be put where MATE's screen saver looks for it"
    exit 77
  fi
  exec unshare -m "$0" "$build" namespace
  ;;
namespace)
  stage=$(mktemp -d)
  trap 'rm -rf "$stage"' EXIT
  DESTDIR=$stage/root cmake --install "$build" --prefix /usr >"$stage/install.log" 2>&1 \
    || { cat "$stage/install.log"; exit 1; }
  entry=$stage/root/usr/share/applications/screensavers/orbsaver.desktop
  grep -qxF "Exec=$mode -root" "$entry" || { echo "FAIL: the entry does not run $mode"; exit 1; }
  mkdir "$stage/modes"
  ln -s "$stage/root/usr/bin/orbsaver" "$stage/modes/orbsaver"
  mount --bind "$stage/modes" /usr/libexec/xscreensaver || { echo "FAIL: cannot mount"; exit 1; }
  export HOME=$stage/home XDG_CONFIG_HOME=$stage/home/.config GSETTINGS_BACKEND=keyfile
  export XDG_DATA_DIRS=$stage/root/usr/share:/usr/share
  mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
  # The schema org.mate.screensaver: one theme, named after the entry's place in
  # applications/ (screensavers/orbsaver.desktop), no lock and no idle start.
  cat >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" <<KEYS
[org/mate/screensaver]
mode='single'
themes=['screensavers-orbsaver']
lock-enabled=false
idle-activation-enabled=false
KEYS
  STAGE=$stage dbus-run-session -- "$0" "$build" session 2>"$stage/dbus.log"
  status=$?
  [ $status = 1 ] && grep -v 'fd limit' "$stage/dbus.log"
  exit $status
  ;;
session)
  log=$STAGE/mate-screensaver.log
  mate-screensaver --no-daemon --debug >"$log" 2>&1 &
  host=$!
  saver=0
  trap 'kill $host 2>/dev/null; [ "$saver" != 0 ] && kill "$saver" 2>/dev/null; wait' EXIT
  up=0
  for _ in $(seq 100); do
    mate-screensaver-command --query >/dev/null 2>&1 && { up=1; break; }
    kill -0 $host 2>/dev/null || break
    sleep 0.1
  done
  if [ $up = 0 ]; then echo "FAIL: mate-screensaver did not come up"; tail -20 "$log"; exit 1; fi
  mate-screensaver-command --activate >/dev/null 2>&1 || { echo "FAIL: --activate was refused"; exit 1; }
  for _ in $(seq 100); do
    saver=$(pgrep -f "^$mode -root" | head -n1)
    [ -n "$saver" ] && break
    sleep 0.1
  done
  if [ -z "$saver" ]; then
    saver=0
    echo "FAIL: mate-screensaver did not start orbsaver"; grep -E 'gs_job|theme' "$log" | head; exit 1
  fi
  echo "ok: mate-screensaver started orbsaver (process $saver)"
  window=$(tr '\0' '\n' <"/proc/$saver/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
  [ -n "$window" ] || { echo "FAIL: orbsaver was given no XSCREENSAVER_WINDOW"; exit 1; }
  fail=0
  # The first frame waits for the model to load; on a loaded machine that takes seconds.
  lit=0
  for _ in $(seq 150); do
    sleep 0.2
    lit=$("$xtool" lit "$window")
    [ "$lit" -gt 5000 ] && break
  done
  "$xtool" shot "$build/mate-screensaver-shot.png"
  if [ "$lit" -gt 5000 ]; then echo "ok: the model is drawn in MATE's window $window ($lit lit pixels)"
  else echo "FAIL: MATE's window $window stays dark ($lit lit pixels)"; fail=1; fi

  if ! kill -0 "$saver" 2>/dev/null || [ "$(ps -o stat= -p "$saver" | cut -c1)" = Z ]; then
    echo "FAIL: orbsaver ended before it was deactivated"; exit 1
  fi
  mate-screensaver-command --deactivate >/dev/null 2>&1
  start=$(date +%s%N)
  gone=0
  for _ in $(seq 100); do
    kill -0 "$saver" 2>/dev/null || { gone=1; break; }
    # A process the host has not reaped yet has ended all the same.
    [ "$(ps -o stat= -p "$saver" 2>/dev/null | cut -c1)" = Z ] && { gone=1; break; }
    sleep 0.02
  done
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  if [ $gone = 1 ] && [ $took -le 1000 ]; then
    echo "ok: --deactivate ended orbsaver in $took ms"; saver=0
  else echo "FAIL: orbsaver still ran $took ms after --deactivate"; fail=1; fi
  exit $fail
  ;;
esac
