#!/usr/bin/env bash
# Usage: faults.sh [--keep] [ID...]
# Injects each fault of tests/faults.txt (or the named ones) into a worktree of HEAD under
# build/faults, builds its x86_64 target incrementally, runs the test said to catch it, and
# prints a table; exits 1 if a fault was missed or could not be injected. --keep keeps the
# worktree and its build for the next run, which then rebuilds only what changed since.
set -uo pipefail
set -f  # test names are patterns for the test program, not for the shell
root=$(cd "$(dirname "$0")/.." && pwd)
keep=0
[ "${1:-}" = --keep ] && keep=1 && shift
dir=$root/build/faults
tree=$dir/tree
build=$tree/build/x86_64
mkdir -p "$dir"
if [ -d "$tree" ]; then
  git -C "$tree" checkout -q --force --detach "$(git -C "$root" rev-parse HEAD)"
else
  git -C "$root" worktree add -q --detach "$tree" HEAD
fi
mkdir -p "$tree/build"
# The worktree's scripts find the emulator where the clone keeps it.
[ -e "$root/build/qemu-user" ] && [ ! -e "$tree/build/qemu-user" ] &&
  ln -s "$root/build/qemu-user" "$tree/build/qemu-user"
cleanup() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  if [ "$keep" = 0 ]; then
    git -C "$root" worktree remove --force "$tree"
  else
    git -C "$tree" checkout -q --force .
  fi
}
trap cleanup EXIT
# shellcheck source=scripts/xvfb.sh
source "$root/scripts/xvfb.sh" || exit 1
# The end-to-end tests' prefix, a copy of the clone's template; the unit tests run in the
# clone's test prefix.
export TAMEWIN_E2E_PREFIX=$dir/e2e-prefix
"$root/scripts/wine.sh" prefix "$TAMEWIN_E2E_PREFIX" || exit 1
log=$dir/log
missed=0
build_tree() {
  { [ -f "$build/build.ninja" ] || cmake -S "$tree" -B "$build" -G Ninja -DTAMEWIN_E2E=ON \
      -DCMAKE_TOOLCHAIN_FILE="$tree/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release; } &&
    cmake --build "$build" --target tamewin tamewin_tests tameprobe tamebrowser tameremove tametrace
}
run_test() {
  case "$1" in
    unit:*) timeout 900 "$root/scripts/wine.sh" exec x86_64 "$build/tests/tamewin_tests.exe" \
              --gtest_brief=1 "--gtest_filter=${1#unit:}" ;;
    e2e:*) "$root/scripts/wine.sh" run x86_64 ctest --test-dir "$build" -R "^e2e_${1#e2e:}\$" ;;
    # Under Wine 10 (scripts/wine.sh wine10 setup first), in a prefix of its mode.
    e2e10:*) TAMEWIN_WINE_VERSION=10 TAMEWIN_E2E_PREFIX="$dir/e2e-prefix-wine10" \
               "$root/scripts/wine.sh" run x86_64 ctest --test-dir "$build" -R "^e2e_${1#e2e10:}\$" ;;
  esac </dev/null
}
# Without a fault every test of the table passes: a test that fails for another reason
# would pass for a catch.
build_tree >"$log" 2>&1 || { echo "faults: the worktree does not build (see $log)" >&2; exit 1; }
chosen() { [ "$#" -eq 1 ] || [[ " ${*:2} " == *" $1 "* ]]; }
tests=$(grep -v '^#' "$root/tests/faults.txt" | while IFS='|' read -r id _ test _; do
  chosen $id "$@" && echo $test
done | sort -u)
units=$(grep '^unit:' <<<"$tests" | sed 's/^unit://' | paste -sd:)
for t in ${units:+unit:$units} $(grep '^e2e' <<<"$tests"); do
  run_test "$t" >"$log" 2>&1 || { echo "faults: $t fails without a fault (see $log)" >&2; exit 1; }
done
printf '%-4s %-40s %s\n' fault test result
while IFS='|' read -r -u 3 id file test from to; do
  id=$(echo $id)
  case "$id" in '' | '#'*) continue ;; esac
  file=$(echo $file) test=$(echo $test)
  chosen "$id" "$@" || continue
  if ! python3 - "$tree/$file" "$from" "$to" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2].strip().replace("\\n", "\n"), sys.argv[3].strip().replace("\\n", "\n")
text = open(path, newline="").read()
if old not in text:
    sys.exit(1)
open(path, "w", newline="").write(text.replace(old, new, 1))
PY
  then
    result="NOT INJECTED (text not found)" missed=1
  elif ! build_tree >"$log" 2>&1; then
    result="NOT BUILT (see $log)" missed=1
  elif run_test "$test" >"$log" 2>&1; then
    result=MISSED missed=1
  else
    result=caught
  fi
  printf '%-4s %-40s %s\n' "$id" "$test" "$result"
  git -C "$tree" checkout -q --force -- "$file"
done 3<"$root/tests/faults.txt"
exit "$missed"
