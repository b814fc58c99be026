#!/usr/bin/env bash
# Usage: bench/run_activation_bench.sh [ARCH...] [--cost-of BUILD] [--cost-only] [--doc FILE]
#                                     [-- arguments for "activation_bench run"]
# ARCH: i686 or x86_64, by default the build that scripts/run.sh starts; with both, each
#   build's program and benchmark in turn, those this Wine mode cannot run named and left out.
# --cost-of BUILD: the build whose benchmark plays the other program in the cost rows (by
#   default ARCH): i686 against the x86_64 program measures what the hook companion costs
#   32-bit programs. --cost-only: the cost rows alone.
# --doc FILE: the figures also replace the text between the lines "<!-- benchmark output -->"
#   and "<!-- end of benchmark output -->" of FILE, under a line naming the command and commit,
#   so the published figures are always a whole run's, never copied by hand.
# Runs the activation benchmark against the real program under Wine, on a private Xvfb
# display, inside a Wine virtual desktop with a taskbar (the end-to-end tests' set-up), in
# its own prefix build/ARCH/bench-prefix-MODE (MODE: the Wine mode of scripts/wine.sh).
# Prints what the benchmark measures inside Wine, and from Linux: what the program's hooks
# cost another program and the shell, and how often the program's threads wake while nothing
# happens and while a user types and moves the mouse in another program (xdotool, Wine's
# notepad). Ends every process it started. Build first: scripts/build.sh ARCH.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Again through the driver, unless already there (--in-mode).
if [ "${1:-}" = --in-mode ]; then
  shift
else
  exec "$root/scripts/wine.sh" run bash "$0" --in-mode "$@"
fi
archs=()
while [ "${1:-}" = i686 ] || [ "${1:-}" = x86_64 ]; do archs+=("$1") && shift; done
[ ${#archs[@]} -gt 0 ] || archs=("$TAMEWIN_MAIN_ARCH")
arch=${archs[0]}
cost_arch=
cost_only=0
doc=
options=()
while [ $# -gt 0 ]; do
  case $1 in
    --cost-of) cost_arch=$2 && options+=("$1" "$2") && shift 2 ;;
    --cost-only) cost_only=1 && options+=("$1") && shift ;;
    --doc) doc=$2 && shift 2 ;;
    --) shift && break ;;
    *) echo "run_activation_bench: unknown argument $1" >&2 && exit 2 ;;
  esac
done
if [ -n "$doc" ]; then
  begin="<!-- benchmark output -->" end="<!-- end of benchmark output -->"
  if ! grep -qxF "$begin" "$doc" || ! grep -qxF "$end" "$doc"; then
    echo "run_activation_bench: $doc has no lines $begin and $end" >&2
    exit 2
  fi
  out=$(mktemp)
  body=$(mktemp)
  trap 'rm -f "$out" "$body"' EXIT
  # The same run without --doc, shown as it goes; a failed run leaves the document as it was.
  bash "$0" --in-mode "${archs[@]}" "${options[@]}" -- "$@" | tee "$out"
  command="bash bench/run_activation_bench.sh ${archs[*]} ${options[*]} --doc $doc${*:+ -- $*}"
  [ "$TAMEWIN_WINE_VERSION" = 8 ] || command="TAMEWIN_WINE_VERSION=$TAMEWIN_WINE_VERSION $command"
  # The 64-bit-only mode, asked for or not, is asked for again by name.
  [ "$TAMEWIN_WINE_VERSION:$TAMEWIN_WINE_ARCH" != 8:win64 ] || command="TAMEWIN_WINE_ARCH=win64 $command"
  commit=$(git -C "$root" rev-parse --short HEAD)
  git -C "$root" diff --quiet HEAD -- src tools bench || commit+=" with uncommitted changes"
  {
    echo "Made by \`${command//  / }\` at commit $commit, $(date -u +%Y-%m-%d);"
    echo "Wine mode $TAMEWIN_WINE_ARCH: $TAMEWIN_WINE_WHY."
    echo
    grep -v '^== ' "$out" | sed 's/^/    /; s/^ *$//'
  } >"$body"
  awk -v begin="$begin" -v end="$end" -v body="$body" '
    $0 == end { skip = 0 }
    !skip { print }
    $0 == begin { while ((getline line < body) > 0) print line; skip = 1 }' "$doc" >"$out"
  cat "$out" >"$doc"
  exit 0
fi
if [ ${#archs[@]} -gt 1 ]; then
  for arch in "${archs[@]}"; do
    if "$root/scripts/wine.sh" run "$arch" true 2>/dev/null; then
      echo "The $arch build"
      echo
      bash "$0" --in-mode "$arch" "${options[@]}" -- "$@"
    else
      echo "The $arch build: not run, this Wine mode runs only $TAMEWIN_ARCHS programs."
    fi
    echo
  done
  exit 0
fi
cost_arch=${cost_arch:-$arch}
# Ends here (77, skipped) where either build's programs cannot run in this mode.
"$root/scripts/wine.sh" run "$arch" true
"$root/scripts/wine.sh" run "$cost_arch" true
bin="$root/build/$arch"
bench="$bin/bench/activation_bench.exe"
cost_bench="$root/build/$cost_arch/bench/activation_bench.exe"
prefix="$bin/bench-prefix-$TAMEWIN_PREFIX_TAG"
if [ ! -f "$bench" ] || [ ! -f "$bin/tamewin.exe" ] || [ ! -f "$cost_bench" ]; then
  echo "build first: scripts/build.sh $arch $cost_arch" >&2
  exit 1
fi
started=$(date +%s)

"$root/scripts/wine.sh" prefix "$prefix"
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

# Linux pid of the newest process of this prefix whose name begins with NAME (Linux keeps 15
# characters of it) and whose command line holds WORDS: the Wine process itself, not the
# shell, bubblewrap or loader that started it, whose command lines name the program too.
unix_pid() {
  local name=${1:0:15} words=${2:-} comm pid this found=0
  for comm in /proc/[0-9]*/comm; do
    pid=${comm#/proc/} && pid=${pid%/comm}
    [ "$pid" -gt "$found" ] && read -r this 2>/dev/null <"$comm" && [[ $this == "$name"* ]] ||
      continue
    if { tr '\0' '\n' <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$prefix" &&
      tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "$words"; } 2>/dev/null; then
      found=$pid
    fi
  done
  [ "$found" = 0 ] || echo "$found"
}
wait_unix_pid() {
  local pid=
  for _ in $(seq 200); do
    pid=$(unix_pid "$@")
    [ -n "$pid" ] && break
    sleep 0.1
  done
  echo "$pid"
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
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
  out=$(wine "$cost_bench" cost | tr -d '\r')
  echo "$out $(($(cpu_ticks "$explorer") - e0)) $(($(cpu_ticks "$server") - s0))"
}

# A trivial program that only waits in GetMessage: the reference for idle wake-ups. It also
# brings up the desktop, which stays while it runs.
wine "$bench" idle >/dev/null 2>&1 &
idle=$(wait_unix_pid activation_bench.exe ' idle')
explorer=$(wait_unix_pid explorer.exe /desktop)
server=$(wait_unix_pid wineserver)

# The program, started and ended as a user would (taskkill without /f is the Exit path).
start_program() {
  wine "$bin/tamewin.exe" >/dev/null 2>&1 &
  wine "$bench" wait >/dev/null
  program=$(wait_unix_pid tamewin.exe)
  # Its companion, where the mode has one, a moment later.
  for _ in $(seq 30); do
    companion=$(unix_pid tamehookhost)
    [ -n "$companion" ] && break
    sleep 0.1
  done
}
# A 32-bit taskkill, which Debian's `wine` picks in the WoW64 mode, does not see 64-bit programs.
taskkill=(wine taskkill)
[ "$TAMEWIN_WINE_VERSION" = 8 ] && taskkill=(/usr/lib/wine/wine64 taskkill)
stop_program() {
  "${taskkill[@]}" /im tamewin.exe >/dev/null 2>&1 || true
  while kill -0 "$program" 2>/dev/null || { [ -n "$companion" ] && kill -0 "$companion"; }; do
    sleep 0.1
  done 2>/dev/null
}
# Medians of the fields of several "cost" lines, one line per run.
medians() {
  awk '{for (i = 2; i <= NF; i++) v[i, NR] = $i} END {
    printf "cost"
    for (i = 2; i <= NF; i++) {
      n = 0; for (r = 1; r <= NR; r++) a[++n] = v[i, r]
      for (x = 1; x <= n; x++) for (y = x + 1; y <= n; y++) if (a[y] < a[x]) {t = a[x]; a[x] = a[y]; a[y] = t}
      printf " %s", a[int((n + 1) / 2)]
    }
    print ""
  }'
}

echo "== cost to another program, before the program starts"
without=$(cost)
# Any notification-area icon slows other programs under Wine: the program is measured against
# a program that shows one icon and nothing else, in alternating rounds.
# The program once a foreground event has come, its hooks gone, is what Windows 10 and 11
# users pay.
icon_runs=()
program_runs=()
gone_runs=()
for round in 1 2 3; do
  echo "== cost round $round: a bare icon, the program, the program once its hooks are gone"
  wine "$bench" icon >/dev/null 2>&1 &
  wait_unix_pid activation_bench.exe ' icon' >/dev/null
  icon_runs+=("$(cost)")
  wine "$bench" end icon >/dev/null 2>&1
  start_program
  program_runs+=("$(cost)")
  wine "$bench" raise >/dev/null 2>&1
  gone_runs+=("$(cost)")
  stop_program
done
icon=$(printf '%s\n' "${icon_runs[@]}" | medians)
with=$(printf '%s\n' "${program_runs[@]}" | medians)
gone=$(printf '%s\n' "${gone_runs[@]}" | medians)
# A fresh program for the activation benchmark: under Wine 8 one that has given its hooks up
# would hear of no activation.
start_program

if [ "$cost_only" = 0 ]; then
  echo "== activation benchmark: wine $bench run --unix-pids $program,${companion:-0},$explorer $*"
  # Line-buffered, so that the progress lines show while the run goes on.
  wine "$bench" run --unix-pids "$program,${companion:-0},$explorer" "$@" | stdbuf -oL tr -d '\r'
fi

echo
echo "Cost of the $arch program's hooks to another program (the benchmark, $cost_arch) and to the shell"
echo "(explorer.exe, the desktop and taskbar) and wineserver: create and destroy 1000 hidden"
echo "top-level windows (median of 3 rounds), then 300 foreground switches between two windows,"
echo "then show and activate a new window (median of 30), then create 150 windows, each shown"
echo "without activation (SW_SHOWNOACTIVATE) and destroyed (median of 3 rounds); CPU seconds of"
echo "the shell and the server while all that ran. Hooks gone: the program once a foreground"
echo "event has come, as on Windows 10 and 11. Bare icon, program and hooks gone: medians of 3"
echo "alternating runs."
printf '  %-44s %10s %10s %10s %10s\n' "" "nothing" "bare icon" "program" "hooks gone"
row() {
  local label=$1 format=$2 field=$3 line values=()
  for line in "$without" "$icon" "$with" "$gone"; do
    values+=("$(awk -v f="$field" '{print $f}' <<<"$line")")
  done
  # shellcheck disable=SC2059
  printf "  %-44s $format $format $format $format\n" "$label" "${values[@]}"
}
row "create and destroy 1000 windows (ms)" '%10.0f' 2
row "300 foreground switches, inside calls (ms)" '%10.0f' 3
row "show and activate a new window (ms)" '%10.2f' 4
row "150 windows shown without activation (ms)" '%10.0f' 5
row "explorer.exe CPU meanwhile (1/100 s)" '%10.0f' 6
row "wineserver CPU meanwhile (1/100 s)" '%10.0f' 7
footer() {
  echo
  echo "Run on $(nproc) cores, $(wine --version), Xvfb; $(($(date +%s) - started)) s in all."
}
if [ "$cost_only" = 1 ]; then
  footer
  exit 0
fi

# The shell takes a while over the end of the window holders (its taskbar notes every
# top-level window); wait, within reason, until its wake-ups die down.
for _ in $(seq 60); do
  n0=$(awk '/ctxt_switches/ {s += $2} END {print s}' /proc/"$explorer"/task/*/status)
  sleep 1
  n1=$(awk '/ctxt_switches/ {s += $2} END {print s}' /proc/"$explorer"/task/*/status)
  [ $((n1 - n0)) -lt 100 ] && break
done
# The program ends its companion with its hooks once a foreground event has come (Wine 10).
companion_ended=0
if [ -n "$companion" ] && [ -z "$(unix_pid tamehookhost)" ]; then
  companion= companion_ended=1
fi
spans=$(mktemp -d)
watched=("$program" ${companion:+"$companion"} "$idle" "$explorer" "$server")
for pid in "${watched[@]}"; do switches "$pid"; done >"$spans/1"
sleep 10
for pid in "${watched[@]}"; do switches "$pid"; done >"$spans/2"

# A user at work in another program: xdotool types into Wine's notepad and moves the mouse
# over it, while the benchmark counts the program's scans and the desktop's show events.
wine notepad >/dev/null 2>&1 &
notepad=$(wait_unix_pid notepad.exe)
sleep 2  # its start and activation handled
wine "$bench" listen >"$spans/listen" 2>/dev/null &
for _ in $(seq 300); do
  grep -q '^listening' "$spans/listen" && break
  sleep 0.1
done
# (The screen's middle, should it not say.)
read -r _ x y < <(grep '^listening' "$spans/listen" | tr -d '\r'; echo "- 512 384")
# Without a window manager the X focus stays where Wine last put it; on the root window the
# X server gives keys to the window under the pointer.
xdotool mousemove "$x" "$y" windowfocus "$(xwininfo -root | awk '/Window id:/ {print $4}')"
watched+=("$notepad")
for pid in "${watched[@]}"; do switches "$pid"; done >"$spans/3"
(
  until [ -e "$spans/stop" ]; do
    xdotool type --delay 60 "typing away " mousemove $((x - 40)) $((y - 20)) sleep 0.1 \
      mousemove $((x + 40)) $((y + 20)) sleep 0.1 mousemove "$x" "$y"
  done
) &
typist=$!
sleep 10
for pid in "${watched[@]}"; do switches "$pid"; done >"$spans/4"
touch "$spans/stop"
wait "$typist"
wine "$bench" end listen >/dev/null 2>&1
for _ in $(seq 300); do
  grep -q '^listen ' "$spans/listen" && break
  sleep 0.1
done
read -r _ scans windows carets cursors others typed < <(grep '^listen ' "$spans/listen" |
  tr -d '\r'; echo "- ? ? ? ? ? ?")
echo
echo "Wake-ups (voluntary + involuntary context switches per Linux thread) over 10 idle seconds,"
echo "then over 10 seconds of xdotool typing into Wine's notepad and moving the mouse over it"
printf '  %-58s %-13s %-16s %6s %7s\n' "" "pid/tid" "thread" "idle" "typing"
name_of() {
  case $1 in
    "$program") echo "tamewin.exe" ;;
    "$companion") echo "companion (tamehookhost, hook library of the other bitness)" ;;
    "$idle") echo "reference: a window and GetMessage (activation_bench idle)" ;;
    "$explorer") echo "explorer.exe /desktop (shell)" ;;
    "$server") echo "wineserver" ;;
    "$notepad") echo "notepad.exe (typed into)" ;;
  esac
}
# Each thread's wake-ups over each span; -: the thread was not there for the whole span.
awk 'FILENAME != last { f++; last = FILENAME } { seen[$1]; n[f, $1] = $2 }
  END { for (k in seen) print k, ((1, k) in n && (2, k) in n ? n[2, k] - n[1, k] : "-"),
                                 ((3, k) in n && (4, k) in n ? n[4, k] - n[3, k] : "-") }' \
  "$spans"/[1-4] | sort -t/ -k1,1n -k2,2n >"$spans/table"
for pid in "${watched[@]}"; do
  grep "^$pid/" "$spans/table" | while read -r key quiet busy; do
    printf '  %-58s %-13s %-16s %6s %7s\n' "$(name_of "$pid")" "$key" \
      "$(cat "/proc/$pid/task/${key#*/}/comm" 2>/dev/null || echo '?')" "$quiet" "$busy"
  done
done
[ "$companion_ended" = 0 ] ||
  echo "  companion (tamehookhost): ended before these counts, with the program's hooks"
echo "While typing: $typed characters reached notepad; the program ran $scans scans; the"
echo "benchmark's own show listener saw $windows window, $carets caret, $cursors cursor and"
echo "$others other show events."
rm -rf "$spans"
footer
