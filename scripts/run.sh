#!/usr/bin/env bash
# Builds the program and runs it under Wine inside a Wine virtual desktop (with a taskbar and
# notification area) on the current X display, or on a private Xvfb display when there is none.
# The i686 build where this machine runs 32-bit programs, natively or through emulation, else
# the x86_64 one (scripts/wine.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=$("$root/scripts/wine.sh" env)
eval "$mode"
"$root/scripts/install-deps.sh"
arch=$TAMEWIN_MAIN_ARCH
"$root/scripts/build.sh" "$arch"
prefix="$root/build/wineprefix-run-$TAMEWIN_PREFIX_TAG"
"$root/scripts/wine.sh" prefix "$prefix"
if [ -z "${DISPLAY:-}" ]; then
  # shellcheck source=scripts/xvfb.sh
  source "$root/scripts/xvfb.sh"
  trap 'kill "$XVFB_PID" 2>/dev/null || true' EXIT
  echo "run: no X display; started Xvfb on $DISPLAY (watch it with: x11vnc -display $DISPLAY)"
fi
echo "run: starting the $arch tamewin.exe on $DISPLAY; its icon is at the right end of the Wine taskbar"
export WINEPREFIX="$prefix" WINEDEBUG=-all
"$root/scripts/wine.sh" run "$arch" bash -c 'wine "$1" && wineserver -w' run \
  "$root/build/$arch/tamewin.exe"
