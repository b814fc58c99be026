#!/usr/bin/env bash
# Runs one Windows program under Wine in the test prefix; ctest uses it as the emulator.
# scripts/test.sh exports TAMEWIN_WINEPREFIX and DISPLAY before ctest runs.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${TAMEWIN_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
