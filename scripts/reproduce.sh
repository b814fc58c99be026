#!/usr/bin/env bash
# Usage: reproduce.sh [COMMIT]   (default: HEAD)
# Checks that the release is what the source makes: builds the commit twice, from two clones
# in folders of different names and depths, the second in another time zone and with another
# umask, each with the release's own command (scripts/package.sh, unsigned), and compares.
# The zips and every program file must be the same byte for byte; the script ends with 1
# where they are not. The MSIs differ by design, and it prints where: the tables and the
# summary fields and the streams (the cabinet) that are not the same.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$root" rev-parse "${1:-HEAD}")
work=$(mktemp -d /tmp/tamewin-reproduce.XXXXXX)
trap 'rm -rf "$work"' EXIT
first="$work/a/tamewin" second="$work/second copy/of the/tree"

build() {  # build DIR: the release of the commit, made in DIR/dist
  git clone -q "$root" "$1"
  git -C "$1" checkout -q "$commit"
  # The build's own tests are not part of the release.
  TAMEWIN_TESTS=OFF bash "$1/scripts/package.sh" --out "$1/dist" >"$1.log" 2>&1 ||
    { cat "$1.log" >&2; echo "reproduce: the build in $1 failed" >&2; exit 1; }
}
echo "reproduce: building $commit in $first"
build "$first"
echo "reproduce: building it again in $second"
(export TZ=Pacific/Chatham; umask 077; build "$second")

status=0
compare() {  # compare FILE...: relative to both trees
  for f in "$@"; do
    if cmp -s "$first/$f" "$second/$f"; then echo "same       $f"
    else echo "DIFFERENT  $f"; status=1; fi
  done
}
cd "$first"
compare dist/*.zip $(ls build/*/*.exe build/*/*.dll | grep -v /tests/)
for msi in dist/*.msi; do
  tables=$(msiinfo tables "$msi" | sort)
  [ "$tables" = "$(msiinfo tables "$second/$msi" | sort)" ] || echo "MSI        $msi: other tables"
  for t in $tables; do
    # The rows' first fields; the summary's are numbers, named here.
    d=$(diff <(msiinfo export "$msi" "$t") <(msiinfo export "$second/$msi" "$t") |
        sed -n 's/^[<>] //p' | cut -f1 | sort -u |
        sed 's/^9$/package code/; s/^12$/time created/; s/^13$/time saved/' | paste -sd, || true)
    [ -z "$d" ] || echo "MSI        $msi: $t: $d"
  done
  for stream in $(msiinfo streams "$msi"); do
    cmp -s <(msiinfo extract "$msi" "$stream") <(msiinfo extract "$second/$msi" "$stream") ||
      echo "MSI        $msi: stream $stream differs"
  done
done
[ $status = 0 ] && echo "reproduce: the zips and the program files are the same" ||
  echo "reproduce: the builds differ" >&2
exit $status
