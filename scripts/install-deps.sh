#!/usr/bin/env bash
# Installs the Debian 12 packages that cross-build, analyse and run the program under Wine.
# Wine's 32-bit part (the i386 architecture and wine32) only in the WoW64 modes, native or
# through emulation (scripts/wine.sh).
# Idempotent: with everything present it changes nothing and needs no root.
set -euo pipefail
mode=$("$(dirname "$0")/wine.sh" env)
eval "$mode"

pkgs=(cmake ninja-build mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest
      wine wine64 xvfb xdotool x11-utils imagemagick icoutils python3 procps wixl msitools
      clang-tidy osslsigncode openssl)
add_i386=0
if [ "$TAMEWIN_WINE_ARCH" = wow64 ]; then
  pkgs+=(wine32:i386)
  dpkg --print-foreign-architectures | grep -qx i386 || add_i386=1
fi

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ "$add_i386" = 0 ] && [ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  what="packages: ${missing[*]}"
  [ "$add_i386" = 1 ] && what="$what; the i386 architecture"
  echo "install-deps: missing $what (run as root to install them)" >&2
  exit 1
fi
[ "$add_i386" = 1 ] && dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
