#!/usr/bin/env bash
# Sourced by the test command: starts an X server of this run's own for the dialog tests, on a
# display number the server picks itself, exports DISPLAY and stops the server when the shell exits.
# A display left over from an earlier run (a stale lock or socket, or another user's server) is
# never reused.
kestrow_xvfb_start() {
  local out
  out="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out" >/dev/null 2>&1 &
  KESTROW_XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$out" ] && break
    kill -0 "$KESTROW_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if ! [ -s "$out" ]; then
    rm -f "$out"
    echo "xvfb: the X server did not start" >&2
    return 1
  fi
  export DISPLAY=":$(tr -dc 0-9 <"$out")"
  rm -f "$out"
  trap 'kill "$KESTROW_XVFB_PID" 2>/dev/null || true' EXIT
}
kestrow_xvfb_start
