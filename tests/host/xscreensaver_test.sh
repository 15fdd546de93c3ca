#!/usr/bin/env bash
# orbsaver as an XScreenSaver display mode: a real daemon, configured with only this
# mode, activates it; the model is drawn in the daemon's window; deactivating ends
# the process. Runs on a display of its own (the daemon takes the pointer and keys).
set -u
build=$1
bin="$build/orbsaver"
xtool="$build/orbsaver-xtool"
if ! command -v xscreensaver >/dev/null; then
  echo "SKIP: xscreensaver is not installed"; exit 77
fi
home=$(mktemp -d)
trap 'kill $daemon 2>/dev/null; rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/.config
cat > "$home/.xscreensaver" <<CONF
mode:		one
selected:	0
lock:		False
fade:		False
unfade:		False
splash:		False
timeout:	1:00:00
programs:	"orbsaver" $bin -root \n
CONF
# The daemon runs no display modes as root: then it runs as nobody, on a display
# that lets every local client in.
as_user=()
if [ "$(id -u)" = 0 ]; then
  chown -R nobody "$home"
  chmod 755 "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  if ! "${as_user[@]}" test -x "$bin"; then
    echo "SKIP: the daemon's user cannot reach $bin (a folder on the way is private)"; exit 77
  fi
fi
"${as_user[@]}" env HOME="$home" XDG_CONFIG_HOME="$home/.config" xscreensaver -no-splash \
  >"$home/daemon.log" 2>&1 &
daemon=$!
for _ in $(seq 50); do xscreensaver-command -time >/dev/null 2>&1 && break; sleep 0.2; done
xscreensaver-command -activate >/dev/null 2>&1 || { echo "FAIL: the daemon does not answer"; cat "$home/daemon.log"; exit 1; }

fail=0
if ! "$xtool" wait "D3DRM Example" 20; then
  echo "FAIL: no orbsaver window appeared"; cat "$home/daemon.log"; exit 1
fi
id=$("$xtool" find "D3DRM Example" | head -n1 | cut -d' ' -f1)
pid=$(pgrep -f "$bin -root" | head -n1)
lit=0
for _ in $(seq 30); do
  sleep 0.2
  lit=$("$xtool" lit "$id")
  [ "$lit" -gt 5000 ] && break
done
"$xtool" shot "$build/xscreensaver-shot.png" "$id"
if [ "$lit" -gt 5000 ]; then echo "ok: the model is drawn in the daemon's window ($lit lit pixels)"
else echo "FAIL: the daemon's window stays dark ($lit lit pixels)"; fail=1; fi

xscreensaver-command -deactivate >/dev/null 2>&1
gone=0
for _ in $(seq 50); do
  kill -0 "$pid" 2>/dev/null || { gone=1; break; }
  sleep 0.1
done
if [ $gone = 1 ]; then echo "ok: deactivating ended orbsaver"
else echo "FAIL: orbsaver still runs after deactivation"; fail=1; fi
exit $fail
