#!/usr/bin/env bash
# Usage: wine-prefix.sh DIR
# Makes a Wine prefix in DIR (once) in which every program runs inside one Wine virtual
# desktop (1024x768), so windows activate and the tray works without a window manager, with a
# taskbar and notification area. The Mono and Gecko installers are suppressed so no dialog
# waits on the display. A prefix belongs to the Wine mode that made it (wine-env.sh): one made
# in the other mode is made again, never reused.
#
# Wine makes the mode's first prefix, build/wineprefix-template-MODE; every other one is a copy
# of it, which takes a second where wineboot takes 15 s, and 35 s under emulation.
set -euo pipefail
# shellcheck source=scripts/wine-env.sh
source "$(dirname "$0")/wine-env.sh"
tamewin_enter_mode bash "$0" "$@"
dir=$1
template="$tamewin_root/build/wineprefix-template-$TAMEWIN_PREFIX_TAG"
# The marker names the mode and the version of this set-up.
ready="$TAMEWIN_PREFIX_TAG 2"
is_ready() { [ "$(cat "$1/.tamewin-ready" 2>/dev/null)" = "$ready" ]; }
is_ready "$dir" && exit 0

mkdir -p "$(dirname "$template")"
exec 9>"$template.lock"
flock 9  # one maker at a time
if ! is_ready "$template"; then
  export WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  rm -rf "$template"
  mkdir -p "$template"
  wine wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Tamewin /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Tamewin /d 1024x768 /f >/dev/null 2>&1
  # The desktop's own taskbar, with its notification area.
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops\Tamewin' /v EnableShell /t REG_DWORD /d 1 /f \
    >/dev/null 2>&1
  # A program that crashes ends at once, reported on standard error, instead of waiting in
  # a crash dialog that nobody will close.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
  echo "$ready" >"$template/.tamewin-ready"
fi
if [ "$dir" != "$template" ]; then
  rm -rf "$dir"
  cp -a "$template" "$dir.new"
  # The file naming the template's server directory: a copy gets a server of its own. Debian's
  # Wine writes that file on a prefix's first start, and a second program starting meanwhile
  # can read it empty and stop ("fixed a temporary directory error"): have one command write it
  # now. `wineserver -k` finds no server to end and fails; the name is written all the same.
  rm -f "$dir.new/wineserver"
  WINEPREFIX="$dir.new" wineserver -k 2>/dev/null || true
  mv "$dir.new" "$dir"
fi
