#!/usr/bin/env bash
# Builds both architectures and runs every test under Wine on a private Xvfb display: for each
# build whose programs this machine runs (scripts/wine.sh; 32-bit ones through emulation where the
# kernel refuses them), its unit tests and the end-to-end tests against the real program
# (test-wine8.sh). A build that cannot run here is named, with the reason, as not run.
# Then the end-to-end tests under Wine 10 (scripts/wine.sh wine10), unless TAMEWIN_WINE10=0: both
# builds where this machine runs 32-bit Linux programs natively, else x86_64, saying why.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)
mode=$("$root/scripts/wine.sh" env)
eval "$mode"
"$root/scripts/install-deps.sh"
# Both builds, also where only one runs: the i686 compile catches faults of its own.
stage_started=$(date +%s)
"$root/scripts/build.sh" i686 x86_64
echo "== build: both architectures in $(($(date +%s) - stage_started)) s"

cleanup() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
# shellcheck source=scripts/xvfb.sh
source "$root/scripts/xvfb.sh"

status=0
"$root/scripts/tidy.sh" || status=1
not_run=()
for arch in i686 x86_64; do
  if [[ " $TAMEWIN_ARCHS " != *" $arch "* ]]; then
    echo "== tests: $arch NOT RUN (neither passed nor failed): $TAMEWIN_WINE_WHY"
    not_run+=("$arch")
  fi
done
"$root/scripts/test-wine8.sh" || status=1

# The end-to-end tests again under Wine 10, which raises the foreground event at every
# activation as Windows 10 and 11 do: the path most users take, run by real activations.
wine10="not run"
if [ "${TAMEWIN_WINE10:-1}" = 0 ]; then
  echo "== tests: Wine 10 stage left out (TAMEWIN_WINE10=0)"
  wine10="left out"
else
  stage_started=$(date +%s)
  setup_status=0
  "$root/scripts/wine.sh" wine10 setup || setup_status=$?
  if [ "$setup_status" -eq 3 ]; then
    echo "== tests: Wine 10 stage NOT RUN (neither passed nor failed): Wine 10 is unavailable," \
         "as the line above says"
  elif [ "$setup_status" -ne 0 ]; then
    echo "== tests: Wine 10 stage FAILED: its set-up ended with status $setup_status"
    status=1
  else
    # The builds Wine 10 runs here: both where its tree has the 32-bit side, as on 64-bit
    # Windows 10 and 11; else x86_64, with the reason.
    wine10_mode=$(TAMEWIN_WINE_VERSION=10 "$root/scripts/wine.sh" env 2>/dev/null)
    wine10_archs=$(eval "$wine10_mode" && echo "$TAMEWIN_ARCHS")
    wine10_why=$(eval "$wine10_mode" && echo "$TAMEWIN_WINE_WHY") wine10_not_run=none
    for arch in i686 x86_64; do
      if [[ " $wine10_archs " != *" $arch "* ]]; then
        echo "== tests: $arch end to end under Wine 10 NOT RUN (neither passed nor failed):" \
             "$wine10_why"
        wine10_not_run=$arch
        continue
      fi
      echo "== tests: $arch end to end under Wine 10"
      TAMEWIN_WINE_VERSION=10 "$root/scripts/wine.sh" run "$arch" \
        ctest --test-dir "$root/build/$arch" -R "^e2e_" --output-on-failure || status=1
    done
    wine10="ran $wine10_archs, not run: $wine10_not_run, in $(($(date +%s) - stage_started)) s"
  fi
fi
mode=$TAMEWIN_WINE_ARCH
[ "$TAMEWIN_EMUL32" = 1 ] && mode="$mode through emulation"
echo "== tests: Wine 8 in mode $mode ran: $TAMEWIN_ARCHS; not run:" \
     "${not_run[*]:-none}; Wine 10 stage: $wine10; $(($(date +%s) - started)) s in all"
exit $status
