#!/usr/bin/env bash
# Usage: wine-exec.sh ARCH PROGRAM [ARGS...]
# Runs one Windows program of the build ARCH (i686, x86_64) under Wine; ctest uses it as the
# emulator. It runs in TAMEWIN_WINEPREFIX (scripts/test.sh sets it), or else in this Wine mode's
# test prefix, made on first use; DISPLAY must name an X server (test.sh starts a private Xvfb).
# Where this machine runs no 32-bit Windows programs, an i686 program is not run: the exit
# status 77 is what ctest reports as skipped.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=$1
shift
# shellcheck source=scripts/wine-env.sh
TAMEWIN_WINE_SAID=${TAMEWIN_WINE_SAID:-quiet} source "$root/scripts/wine-env.sh" || exit 1
tamewin_require_arch "$arch"
if [ -z "${TAMEWIN_WINEPREFIX:-}" ]; then
  TAMEWIN_WINEPREFIX="$root/build/wineprefix-$TAMEWIN_PREFIX_TAG"
  "$root/scripts/wine-prefix.sh" "$TAMEWIN_WINEPREFIX" || exit 1
fi
export WINEPREFIX="$TAMEWIN_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
tamewin_enter_mode wine "$@"
exec wine "$@"
