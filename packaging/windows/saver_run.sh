# Sourced by the packaging tests, which run in a Wine prefix of their own
# ($ORBSAVER_WINEPREFIX).

# forget_settings: removes the user's saver settings. The saver stores the full path
# of the model it took by default, so a run after another would find that one.
forget_settings() {
  "$source_dir/tools/wine-run" reg delete 'HKCU\Software\MERO' /f >/dev/null 2>&1 || true
}

# run_saver LOG PROGRAM: starts the Windows saver full
# screen under tools/wine-run with its start traced and no message boxes, waits until
# it has built its scene (at most 60 s), then ends it. Its lines are in LOG.
run_saver() {
  local log=$1 program=$2 pid
  ORBSAVER_START_TRACE=1 ORBSAVER_NO_MESSAGE_BOXES=1 \
    "$source_dir/tools/wine-run" "$program" /s >"$log" 2>&1 </dev/null &
  pid=$!
  for _ in $(seq 600); do
    grep -q '^orbsaver-start: scene' "$log" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  grep -v '^ALSA' "$log" | grep '^orbsaver' || true
  grep -q '^orbsaver-start: scene' "$log" || { echo "FAIL: the saver built no scene"; return 1; }
}
