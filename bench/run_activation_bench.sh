#!/usr/bin/env bash
# Usage: bench/run_activation_bench.sh [ARCH] [-- arguments for "activation_bench run"]
# ARCH: i686 or x86_64, by default the build that scripts/run.sh starts.
# Runs the activation benchmark against the real program under Wine, on a private Xvfb
# display, inside a Wine virtual desktop with a taskbar (the end-to-end tests' set-up), in
# its own prefix build/ARCH/bench-prefix-MODE (MODE: the Wine mode of scripts/wine-env.sh).
# Prints what the benchmark measures inside Wine, and from Linux: what the program's hooks
# cost another program and the shell, and how often the program's threads wake while nothing
# happens. Ends every process it started. Build first: scripts/build.sh ARCH.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
arch=${1:-$TAMEWIN_MAIN_ARCH}
tamewin_require_arch "$arch"
[ $# -gt 0 ] && shift
[ "${1:-}" = "--" ] && shift
bin="$root/build/$arch"
bench="$bin/bench/activation_bench.exe"
prefix="$bin/bench-prefix-$TAMEWIN_WINE_ARCH"
if [ ! -f "$bench" ] || [ ! -f "$bin/tamewin.exe" ]; then
  echo "build first: scripts/build.sh $arch" >&2
  exit 1
fi
started=$(date +%s)

"$root/scripts/wine-prefix.sh" "$prefix" TamewinBench
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true  # nothing left over in this prefix from an earlier run

cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
# shellcheck source=scripts/xvfb.sh
source "$root/scripts/xvfb.sh"

# Linux pid of the process of this prefix whose command line matches a pattern (the newest).
unix_pid() {
  local pid found=
  for pid in $(pgrep -f -- "$1" || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$prefix"; then
      found=$pid
    fi
  done
  echo "$found"
}
wait_unix_pid() {
  local pid=
  for _ in $(seq 200); do
    pid=$(unix_pid "$1")
    [ -n "$pid" ] && break
    sleep 0.1
  done
  echo "$pid"
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
seconds() { awk -v t="$1" 'BEGIN {printf "%.1f", t / 100}'; }
# One line per thread: pid/tid and its context switches so far.
switches() {
  local task
  for task in /proc/"$1"/task/*; do
    echo "$1/${task##*/} $(awk '/ctxt_switches/ {s += $2} END {print s}' "$task/status")"
  done 2>/dev/null
}
# Runs "activation_bench cost" and prints its figures with the shell's and the server's CPU
# time meanwhile.
cost() {
  local e0 s0 out
  e0=$(cpu_ticks "$explorer")
  s0=$(cpu_ticks "$server")
  out=$(wine "$bench" cost | tr -d '\r')
  echo "$out $(($(cpu_ticks "$explorer") - e0)) $(($(cpu_ticks "$server") - s0))"
}

# A trivial program that only waits in GetMessage: the reference for idle wake-ups. It also
# brings up the desktop, which stays while it runs.
wine "$bench" idle >/dev/null 2>&1 &
idle=$(wait_unix_pid 'activation_bench.exe idle')
explorer=$(wait_unix_pid 'explorer.exe /desktop')
server=$(wait_unix_pid 'wineserver')

echo "== cost to another program, before the program starts"
without=$(cost)
echo "== starting tamewin.exe"
wine "$bin/tamewin.exe" >/dev/null 2>&1 &
wine "$bench" wait >/dev/null
program=$(wait_unix_pid 'tamewin.exe')
companion=$(wait_unix_pid 'HostCompanion')
echo "== cost to another program, with the program running"
with=$(cost)

echo "== activation benchmark: wine $bench run --unix-pids $program,${companion:-0},$explorer $*"
# Line-buffered, so that the progress lines show while the run goes on.
wine "$bench" run --unix-pids "$program,${companion:-0},$explorer" "$@" | stdbuf -oL tr -d '\r'

echo
echo "Cost of the program's hooks to another program (the benchmark, $arch) and to the shell"
echo "(explorer.exe, the desktop and taskbar) and wineserver: create and destroy 1000 hidden"
echo "top-level windows (median of 3 rounds), then 300 foreground switches between two windows,"
echo "then show and activate a new window (median of 30); CPU seconds of the shell and the"
echo "server while all that ran."
printf '  %-46s %12s %12s\n' "" "without" "with program"
read -r _ c0 s0 w0 e0 v0 <<<"$without"
read -r _ c1 s1 w1 e1 v1 <<<"$with"
printf '  %-46s %9.0f ms %9.0f ms\n' "create and destroy 1000 windows" "$c0" "$c1"
printf '  %-46s %9.0f ms %9.0f ms\n' "300 foreground switches (time inside calls)" "$s0" "$s1"
printf '  %-46s %9.2f ms %9.2f ms\n' "show and activate a new window" "$w0" "$w1"
printf '  %-46s %10s s %10s s\n' "explorer.exe CPU meanwhile" "$(seconds "$e0")" "$(seconds "$e1")"
printf '  %-46s %10s s %10s s\n' "wineserver CPU meanwhile" "$(seconds "$v0")" "$(seconds "$v1")"

# The shell takes a while over the end of the window holders (its taskbar notes every
# top-level window); wait, within reason, until its wake-ups die down.
for _ in $(seq 60); do
  n0=$(awk '/ctxt_switches/ {s += $2} END {print s}' /proc/"$explorer"/task/*/status)
  sleep 1
  n1=$(awk '/ctxt_switches/ {s += $2} END {print s}' /proc/"$explorer"/task/*/status)
  [ $((n1 - n0)) -lt 100 ] && break
done
before=$(mktemp)
after=$(mktemp)
watched=("$program" ${companion:+"$companion"} "$idle" "$explorer" "$server")
for pid in "${watched[@]}"; do switches "$pid"; done >"$before"
sleep 10
for pid in "${watched[@]}"; do switches "$pid"; done >"$after"
echo
echo "Wake-ups over 10 idle seconds (voluntary + involuntary context switches per Linux thread)"
name_of() {
  case $1 in
    "$program") echo "tamewin.exe" ;;
    "$companion") echo "companion (rundll32, hook library of the other bitness)" ;;
    "$idle") echo "reference: a window and GetMessage (activation_bench idle)" ;;
    "$explorer") echo "explorer.exe /desktop (shell)" ;;
    "$server") echo "wineserver" ;;
  esac
}
join <(sort "$before") <(sort "$after") | sort -n | while read -r key n0 n1; do
  printf '  %-58s %-13s %-16s %6d\n' "$(name_of "${key%/*}")" "$key" \
    "$(cat "/proc/${key%/*}/task/${key#*/}/comm" 2>/dev/null || echo '?')" $((n1 - n0))
done
rm -f "$before" "$after"
echo
echo "Run on $(nproc) cores, $(wine --version), Xvfb; $(($(date +%s) - started)) s in all."
