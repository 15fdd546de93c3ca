#!/usr/bin/env bash
# orbsaver as an XScreenSaver display mode: a real daemon, configured with only this
# mode in the README's form (a "GL:" mode, whose window has the daemon's visual for
# OpenGL), activates it; the model is drawn in the daemon's window; deactivating ends
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
# The daemon runs its display modes at nice 10 by default; beside the other tests
# that starves the mode for a minute, so this one runs at the tests' own priority.
cat > "$home/.xscreensaver" <<CONF
mode:		one
selected:	0
lock:		False
fade:		False
unfade:		False
splash:		False
timeout:	1:00:00
nice:		0
programs:	GL: "orbsaver" $bin -root \n
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
# The daemon can be slow to come up on a loaded machine, and now and then it ends
# silently right after it has started, before it takes the display: then it is
# started again, up to three times.
daemon=0
up=0
for start in 1 2 3; do
  "${as_user[@]}" env HOME="$home" XDG_CONFIG_HOME="$home/.config" xscreensaver -no-splash -verbose \
    >"$home/daemon.log" 2>&1 &
  daemon=$!
  for _ in $(seq 150); do
    xscreensaver-command -time >/dev/null 2>&1 && { up=1; break; }
    kill -0 $daemon 2>/dev/null || break
    sleep 0.2
  done
  [ $up = 1 ] && break
  kill -0 $daemon 2>/dev/null && state="still running" || state="gone"
  echo "note: start $start of the daemon did not come up (its process is $state); its log:"
  sed 's/^/  /' "$home/daemon.log" | grep -v '###'
  kill $daemon 2>/dev/null
  wait $daemon 2>/dev/null
done
if [ $up = 0 ]; then
  echo "FAIL: the daemon did not come up in three starts"; exit 1
fi
# A freshly started daemon may not answer its first command in time: ask up to
# three times.
activated=0
for attempt in 1 2 3; do
  if xscreensaver-command -activate >"$home/activate.log" 2>&1; then activated=1; break; fi
  echo "note: activation attempt $attempt was not answered: $(tr '\n' ' ' <"$home/activate.log")"
  sleep 1
done
if [ $activated = 0 ]; then
  echo "FAIL: the daemon does not answer"; cat "$home/daemon.log"; exit 1
fi

fail=0
if ! "$xtool" wait "D3DRM Example" 20; then
  echo "FAIL: no orbsaver window appeared"; cat "$home/daemon.log"; exit 1
fi
id=$("$xtool" find "D3DRM Example" | head -n1 | cut -d' ' -f1)
pid=$(pgrep -f "$bin -root" | head -n1)
# The first frame waits for the model to load; on a loaded machine (the sanitizer
# build beside other tests) that takes seconds.
lit=0
start=$(date +%s%N)
for _ in $(seq 150); do
  sleep 0.2
  lit=$("$xtool" lit "$id")
  [ "$lit" -gt 5000 ] && break
done
waited=$(( ($(date +%s%N) - start) / 1000000 ))
"$xtool" shot "$build/xscreensaver-shot.png" "$id"
if [ "$lit" -gt 5000 ]; then
  echo "ok: the model is drawn in the daemon's window ($lit lit pixels after $waited ms)"
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
