#!/usr/bin/env bash
# Usage: wine-prefix.sh DIR [DESKTOP]
# Makes a Wine prefix in DIR (once) in which every program runs inside one Wine virtual
# desktop named DESKTOP (1024x768), so windows activate and the tray works without a window
# manager, with a taskbar and notification area. The Mono and Gecko installers are suppressed so
# no dialog waits on the display. A prefix belongs to the Wine mode that made it (wine-env.sh):
# one made in the other mode is made again, never reused.
set -euo pipefail
# shellcheck source=scripts/wine-env.sh
source "$(dirname "$0")/wine-env.sh"
tamewin_enter_mode bash "$0" "$@"
dir=$1
desktop=${2:-Tamewin}
export WINEPREFIX=$dir WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The marker names the mode and the version of this set-up.
ready="$TAMEWIN_PREFIX_TAG 2"
if [ "$(cat "$dir/.tamewin-ready" 2>/dev/null)" != "$ready" ]; then
  rm -rf "$dir"
  mkdir -p "$dir"
  wine wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d "$desktop" /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v "$desktop" /d 1024x768 /f >/dev/null 2>&1
  # The desktop's own taskbar, with its notification area.
  wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops\\$desktop" /v EnableShell /t REG_DWORD /d 1 /f \
    >/dev/null 2>&1
  # A program that crashes ends at once, reported on standard error, instead of waiting in
  # a crash dialog that nobody will close.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
  echo "$ready" >"$dir/.tamewin-ready"
fi
