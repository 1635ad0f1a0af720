# Source it: start_xvfb gives this shell a private X display (unless one is set and
# FOTOLOFT_USE_DISPLAY=1); stop_xvfb ends it.
XVFB_PID=""
start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && [ "${FOTOLOFT_USE_DISPLAY:-0}" = 1 ]; then return 0; fi
  local fdfile; fdfile=$(mktemp)
  Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$fdfile" 2>/dev/null </dev/null &
  XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    if [ -s "$fdfile" ]; then
      export DISPLAY=":$(head -n 1 "$fdfile")"
      rm -f "$fdfile"
      return 0
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$fdfile"
  return 1
}
stop_xvfb() {
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; fi
  XVFB_PID=""
}
