#!/usr/bin/env bash
# Sourced: starts a private Xvfb on a free display, exports DISPLAY and XVFB_PID.
# The caller's trap must kill "$XVFB_PID".
xvfb_fd_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$xvfb_fd_file" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do
  [ -s "$xvfb_fd_file" ] && break
  sleep 0.1
done
if [ ! -s "$xvfb_fd_file" ]; then
  echo "xvfb: the X server did not start" >&2
  kill "$XVFB_PID" 2>/dev/null || true
  return 1
fi
export DISPLAY=":$(tr -d '\n' <"$xvfb_fd_file")"
export XVFB_PID
rm -f "$xvfb_fd_file"
