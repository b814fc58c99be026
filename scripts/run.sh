#!/usr/bin/env bash
# Builds the program and runs it under Wine inside a Wine virtual desktop (with a taskbar and
# notification area) on the current X display, or on a private Xvfb display when there is none.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" i686
prefix="$root/build/wineprefix-run"
"$root/scripts/wine-prefix.sh" "$prefix" Tamewin
if [ -z "${DISPLAY:-}" ]; then
  # shellcheck source=scripts/xvfb.sh
  source "$root/scripts/xvfb.sh"
  trap 'kill "$XVFB_PID" 2>/dev/null || true' EXIT
  echo "run: no X display; started Xvfb on $DISPLAY (watch it with: x11vnc -display $DISPLAY)"
fi
echo "run: starting tamewin.exe on $DISPLAY; its icon is at the right end of the Wine taskbar"
WINEPREFIX="$prefix" WINEDEBUG=-all wine "$root/build/i686/tamewin.exe"
WINEPREFIX="$prefix" wineserver -w
