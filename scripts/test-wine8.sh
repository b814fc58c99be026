#!/usr/bin/env bash
# Usage: test-wine8.sh (test.sh calls it with DISPLAY naming its X server)
# The Wine 8 stage of test.sh: the test prefix, then, for each build whose programs run in this
# mode (scripts/wine.sh), its unit tests and its end-to-end tests. Under emulation all of it runs
# in one namespace, and every process it started ends with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Without an X server every window the unit tests make fails, far from the cause.
[ -n "${DISPLAY:-}" ] || { echo "test-wine8: DISPLAY must name an X server" >&2; exit 2; }
# Again through the driver, unless already there (--in-mode).
[ "${1:-}" = --in-mode ] || exec "$root/scripts/wine.sh" run bash "$0" --in-mode

prefix="$root/build/wineprefix-$TAMEWIN_PREFIX_TAG"
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true' EXIT
started=$(date +%s)
"$root/scripts/wine.sh" prefix "$prefix"
echo "== tests: the test prefix ready in $(($(date +%s) - started)) s"

status=0
for arch in $TAMEWIN_ARCHS; do
  for kind in unit e2e; do
    started=$(date +%s)
    echo "== tests: $arch $kind"
    ctest --test-dir "$root/build/$arch" -R "^$kind" --output-on-failure || status=1
    echo "== tests: $arch $kind took $(($(date +%s) - started)) s"
  done
done
exit $status
