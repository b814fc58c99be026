#!/usr/bin/env bash
# Installs the Debian 12 packages needed to cross-build the program and run it under Wine.
# Idempotent: packages already present are skipped quickly.
set -euo pipefail

pkgs=(cmake ninja-build mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest
      wine wine64 wine32:i386 xvfb xdotool x11-utils imagemagick python3 procps)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  missing=("${pkgs[@]}")
else
  for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
fi

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
