#!/usr/bin/env bash
# Usage: build.sh ARCH... (i686, x86_64). Configures and builds build/ARCH with MinGW-w64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
for arch in "$@"; do
  cmake -S "$root" -B "$root/build/$arch" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DTAMEWIN_E2E=ON -DTAMEWIN_TESTS="${TAMEWIN_TESTS:-ON}" >/dev/null
  cmake --build "$root/build/$arch"
done
