#!/usr/bin/env bash
# Usage: notices.sh > THIRD-PARTY-NOTICES
# Writes the notices of what the release's program files contain from others: the MinGW-w64
# runtime with winpthreads, and GCC's libgcc and libstdc++, which the three programs link
# statically. The texts come from the copyright files of the Debian packages the build uses,
# so they are those of the very versions linked.
set -euo pipefail
mingw=/usr/share/doc/mingw-w64-common/copyright
gcc=/usr/share/doc/gcc-mingw-w64-base/copyright
gpl=/usr/share/common-licenses/GPL-3
for f in "$mingw" "$gcc" "$gpl"; do
  [ -r "$f" ] || { echo "notices: $f is missing" >&2; exit 1; }
done
version() { dpkg-query -W -f='${Version}' "$1"; }
rule() { printf '\n%s\n%s\n\n' "$1" "$(printf '%*s' ${#1} '' | tr ' ' =)"; }

cat <<TEXT
IE Tamewin: third-party notices

tamewin.exe, tametrace.exe and tameremove.exe are linked statically with:
- the MinGW-w64 runtime and its POSIX threads library, winpthreads
  (Debian package mingw-w64-common $(version mingw-w64-common));
- libgcc and libstdc++ of GCC, under the GNU General Public License, version 3, with the GCC
  Runtime Library Exception, version 3.1 (Debian package gcc-mingw-w64-base
  $(version gcc-mingw-w64-base)).
The hook libraries (tamehook*.dll) and the companions (tamehookhost*.exe) are linked without
any runtime: of the above they hold only the MinGW-w64 import stubs of the system's libraries.

The texts below are taken from the copyright files of those Debian packages.
TEXT

rule "MinGW-w64 runtime and winpthreads"
# The copyright file is machine-readable: paragraphs of fields. Kept: the paragraphs of the
# whole tree ("*"), of the runtime (mingw-w64-crt) and of winpthreads' library, then the
# stand-alone texts of the licences they name.
awk 'BEGIN { RS = ""; ORS = "\n\n" }
  NR == 1 { next }
  /^Files:/ {
    files = $0; sub(/\nCopyright:.*/, "", files); sub(/^Files:/, "", files)
    n = split(files, f, /[ \t\n]+/); keep = 0
    for (i = 1; i <= n; i++)
      if (f[i] == "*" || f[i] ~ /^mingw-w64-crt\// ||
          (f[i] ~ /^mingw-w64-libraries\/winpthreads\// && f[i] !~ /tests_pthread/)) keep = 1
    if (keep) {
      print
      if (match($0, /\nLicense: [^\n]+/)) {
        n = split(substr($0, RSTART + 10, RLENGTH - 10), l, / (and|or) /)
        for (i = 1; i <= n; i++) named[l[i]] = 1
      }
    }
    next
  }
  /^License:/ {
    name = $0; sub(/^License: /, "", name); sub(/\n.*/, "", name)
    if (name in named) print
  }' "$mingw"

rule "libgcc and libstdc++ (GCC)"
# The file is free text: the list of the runtime libraries under the exception, and the
# exception itself.
awk '/^The following runtime libraries are licensed/ { on = 1 }
  on && /^The libbacktrace library/ { on = 0 }
  /^GCC RUNTIME LIBRARY EXCEPTION/ { on = 1; exception = 1 }
  exception && /^libquadmath/ { on = 0; exception = 0 }
  on' "$gcc"

rule "GNU General Public License, version 3"
cat "$gpl"
