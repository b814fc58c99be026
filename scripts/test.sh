#!/usr/bin/env bash
# Builds both architectures and runs every test under Wine on a private Xvfb display: for each
# build whose programs this machine runs (wine-env.sh), its unit tests and the end-to-end tests
# against the real program. A build that cannot run here is named, with the reason, as not run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
"$root/scripts/install-deps.sh"
# Both builds, also where only one runs: the i686 compile catches faults of its own.
"$root/scripts/build.sh" i686 x86_64

export TAMEWIN_WINEPREFIX="$root/build/wineprefix-$TAMEWIN_WINE_ARCH"
"$root/scripts/wine-prefix.sh" "$TAMEWIN_WINEPREFIX" TamewinTests

cleanup() {
  WINEPREFIX="$TAMEWIN_WINEPREFIX" wineserver -k 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
# shellcheck source=scripts/xvfb.sh
source "$root/scripts/xvfb.sh"

status=0
not_run=()
for arch in i686 x86_64; do
  if [[ " $TAMEWIN_ARCHS " != *" $arch "* ]]; then
    echo "== tests: $arch NOT RUN (neither passed nor failed): $TAMEWIN_WINE_WHY"
    not_run+=("$arch")
    continue
  fi
  echo "== tests: $arch"
  ctest --test-dir "$root/build/$arch" --output-on-failure || status=1
done
echo "== tests: Wine mode $TAMEWIN_WINE_ARCH; ran: $TAMEWIN_ARCHS; not run: ${not_run[*]:-none};" \
     "$(($(date +%s) - started)) s in all"
exit $status
