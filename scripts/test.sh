#!/usr/bin/env bash
# Builds both architectures and runs every test under Wine on a private Xvfb display:
# the unit tests for i686 and x86_64, then the end-to-end tests against the real program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" i686 x86_64

export TAMEWIN_WINEPREFIX="$root/build/wineprefix"
"$root/scripts/wine-prefix.sh" "$TAMEWIN_WINEPREFIX" TamewinTests

cleanup() {
  WINEPREFIX="$TAMEWIN_WINEPREFIX" wineserver -k 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
# shellcheck source=scripts/xvfb.sh
source "$root/scripts/xvfb.sh"

status=0
for arch in i686 x86_64; do
  echo "== tests: $arch"
  ctest --test-dir "$root/build/$arch" --output-on-failure || status=1
done
exit $status
