#!/usr/bin/env bash
# The Wine mode of this machine, decided once and shared by every script that runs Wine.
#
# Sourced (by run.sh, test.sh, install-deps.sh, the benchmark): decides the mode, says it in one
# line (once per run: children inherit the decision), and exports
#   TAMEWIN_WINE_ARCH   wow64: 64-bit and 32-bit Windows programs (a WoW64 prefix)
#                       win64: 64-bit Windows programs only, through Wine's 64-bit loader
#   TAMEWIN_RUNS_32BIT  1 when this machine runs 32-bit Linux programs, else 0
#   TAMEWIN_EMUL32      1 when 32-bit Linux programs run through emulation instead (emul32.sh):
#                       then every Wine command runs inside its namespace (tamewin_enter_mode);
#                       TAMEWIN_EMUL32=0 from the caller leaves emulation out
#   TAMEWIN_ARCHS       the builds whose programs run here ("i686 x86_64", or "x86_64")
#   TAMEWIN_MAIN_ARCH   the build that run.sh starts
#   TAMEWIN_WINE_WHY    why the mode was chosen
#   TAMEWIN_PREFIX_TAG  the ending of this Wine's prefix folders
# TAMEWIN_WINE_VERSION=10 runs everything under Wine 10 (scripts/wine10.sh, which must have
# made its tree) instead of the machine's Wine 8;
# and, in win64 mode, puts a `wine` and a `wineserver` first on PATH that call the 64-bit ones.
# Executed as `wine-env.sh ARCH COMMAND...` (ctest does this for the end-to-end tests), it runs
# the command in that environment, or skips it (77) where programs of the build ARCH cannot run.
#
# Wine's 32-bit loader is itself a 32-bit Linux program, so a machine whose kernel refuses
# those runs 32-bit Windows programs only through emulation (WoW64 through emulation); where
# that cannot be had, the 64-bit-only mode. Once wine32:i386 is installed, Debian's `wine`
# always picks the 32-bit loader, so even 64-bit programs must bypass it outside emulation.
# TAMEWIN_WINE_ARCH=win64 forces the 64-bit-only mode on any machine.

tamewin_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ -z "${TAMEWIN_RUNS_32BIT:-}" ]; then
  if "$tamewin_root/scripts/runs32.sh"; then TAMEWIN_RUNS_32BIT=1; else TAMEWIN_RUNS_32BIT=0; fi
fi
export TAMEWIN_RUNS_32BIT

# Wine 10 (scripts/wine10.sh: Debian 13's Wine in a tree of its own) runs 64-bit programs, and
# 32-bit ones too where its setup added the tree's 32-bit side.
TAMEWIN_WINE_VERSION=${TAMEWIN_WINE_VERSION:-8}
case "$TAMEWIN_WINE_VERSION" in
  8) ;;
  10)
    if [ -f "$tamewin_root/build/wine10/.wow64" ]; then
      TAMEWIN_WINE_ARCH=wow64
      TAMEWIN_WINE_WHY="the Debian 13 tree has its 32-bit Wine: this machine runs 32-bit programs"
    else
      TAMEWIN_WINE_ARCH=win64
      TAMEWIN_WINE_WHY=$(cat "$tamewin_root/build/wine10/.no-wow64" 2>/dev/null) ||
        TAMEWIN_WINE_WHY="the Debian 13 tree has no 32-bit Wine (scripts/wine10.sh setup adds it)"
    fi ;;
  *)
    echo "wine: TAMEWIN_WINE_VERSION must be 8 or 10, not '$TAMEWIN_WINE_VERSION'" >&2
    return 1 2>/dev/null || exit 1 ;;
esac
export TAMEWIN_WINE_VERSION

case "$TAMEWIN_WINE_VERSION:${TAMEWIN_WINE_ARCH:-}" in
  10:*) TAMEWIN_EMUL32=0 ;;
  *:win64)
    TAMEWIN_EMUL32=0
    TAMEWIN_WINE_WHY=${TAMEWIN_WINE_WHY:-"TAMEWIN_WINE_ARCH=win64 asks for it"} ;;
  *:wow64 | *:)
    if [ "$TAMEWIN_RUNS_32BIT" = 1 ] && [ "${TAMEWIN_IN_EMUL32:-}" != 1 ]; then
      TAMEWIN_WINE_ARCH=wow64 TAMEWIN_EMUL32=0
      TAMEWIN_WINE_WHY="this machine runs 32-bit Linux programs, so the 32-bit Wine loader can start"
    elif [ "${TAMEWIN_EMUL32:-}" = 1 ] && [ -n "${TAMEWIN_WINE_WHY:-}" ]; then
      TAMEWIN_WINE_ARCH=wow64 # decided by the caller, with its reason
    elif [ "${TAMEWIN_IN_EMUL32:-}" = 1 ] || { [ -z "${TAMEWIN_EMUL32:-}" ] &&
         tamewin_emul_why=$("$tamewin_root/scripts/emul32.sh" check 2>&1); }; then
      TAMEWIN_WINE_ARCH=wow64 TAMEWIN_EMUL32=1
      TAMEWIN_WINE_WHY="this machine refuses 32-bit Linux programs, so they run under qemu-i386"
      TAMEWIN_WINE_WHY+=" $(cat "$tamewin_root/build/qemu-user/version"), registered only inside"
      TAMEWIN_WINE_WHY+=" a namespace of the run's own"
    elif [ "${TAMEWIN_WINE_ARCH:-}" = wow64 ]; then
      echo "wine: TAMEWIN_WINE_ARCH=wow64, but this machine cannot run 32-bit Linux programs" >&2
      return 1 2>/dev/null || exit 1
    else
      TAMEWIN_WINE_ARCH=win64 TAMEWIN_EMUL32=0
      TAMEWIN_WINE_WHY="this machine cannot run 32-bit Linux programs (Exec format error), so the"
      TAMEWIN_WINE_WHY+=" 32-bit Wine loader cannot start, and emulation is unavailable:"
      TAMEWIN_WINE_WHY+=" ${tamewin_emul_why:-TAMEWIN_EMUL32=0 turns it off}"
    fi ;;
  *)
    echo "wine: TAMEWIN_WINE_ARCH must be win64 or wow64, not '$TAMEWIN_WINE_ARCH'" >&2
    return 1 2>/dev/null || exit 1 ;;
esac
export TAMEWIN_WINE_ARCH TAMEWIN_WINE_WHY TAMEWIN_EMUL32

# Prefixes are named for the Wine they belong to: a prefix serves one Wine, in one mode.
if [ "$TAMEWIN_WINE_VERSION" = 10 ]; then
  export TAMEWIN_PREFIX_TAG=wine10-$TAMEWIN_WINE_ARCH
else
  export TAMEWIN_PREFIX_TAG=$TAMEWIN_WINE_ARCH
fi

if [ "$TAMEWIN_WINE_VERSION" = 10 ]; then
  # WINEARCH=win64 is Wine's 64-bit prefix, with its WoW64 side where the 32-bit Wine exists.
  export TAMEWIN_ARCHS="x86_64" TAMEWIN_MAIN_ARCH=x86_64 WINEARCH=win64
  [ "$TAMEWIN_WINE_ARCH" = wow64 ] && TAMEWIN_ARCHS="i686 x86_64"
  case ":$PATH:" in
    *":$tamewin_root/build/wine10/bin:"*) ;;
    *) export PATH="$tamewin_root/build/wine10/bin:$PATH" ;;
  esac
elif [ "$TAMEWIN_WINE_ARCH" = win64 ]; then
  export TAMEWIN_ARCHS="x86_64" TAMEWIN_MAIN_ARCH=x86_64 WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  tamewin_wine_bin="$tamewin_root/build/wine64-bin"
  if [ ! -x "$tamewin_wine_bin/wineserver" ]; then
    mkdir -p "$tamewin_wine_bin"
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
      >"$tamewin_wine_bin/wine"
    printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' >"$tamewin_wine_bin/wineserver"
    chmod +x "$tamewin_wine_bin/wine" "$tamewin_wine_bin/wineserver"
  fi
  case ":$PATH:" in
    *":$tamewin_wine_bin:"*) ;;
    *) export PATH="$tamewin_wine_bin:$PATH" ;;
  esac
else
  export TAMEWIN_ARCHS="i686 x86_64" TAMEWIN_MAIN_ARCH=i686
fi

if [ -z "${TAMEWIN_WINE_SAID:-}" ]; then
  if [ "$TAMEWIN_WINE_VERSION" = 10 ]; then
    if [ "$TAMEWIN_WINE_ARCH" = wow64 ]; then
      echo "wine: Wine 10 (Debian 13, scripts/wine10.sh), WoW64 (i686 and x86_64 programs)"
    else
      echo "wine: Wine 10 (Debian 13, scripts/wine10.sh), x86_64 programs only: $TAMEWIN_WINE_WHY"
    fi
  elif [ "$TAMEWIN_WINE_ARCH" = win64 ]; then
    echo "wine: 64-bit only mode (x86_64 programs; i686 programs not run): $TAMEWIN_WINE_WHY"
  elif [ "$TAMEWIN_EMUL32" = 1 ]; then
    echo "wine: WoW64 through emulation (i686 and x86_64 programs): $TAMEWIN_WINE_WHY"
  else
    echo "wine: WoW64 mode (i686 and x86_64 programs): $TAMEWIN_WINE_WHY"
  fi
  export TAMEWIN_WINE_SAID=1
fi

# Ends with the status ctest reports as skipped (77) when programs of the build $1 (i686,
# x86_64) cannot run in this mode.
tamewin_require_arch() {
  if [[ " $TAMEWIN_ARCHS " != *" $1 "* ]]; then
    echo "not run: $1 programs need the WoW64 mode, and $TAMEWIN_WINE_WHY"
    exit 77
  fi
}

# True when this mode runs programs in emulation's namespace and this shell is outside it.
tamewin_outside_mode() {
  [ "$TAMEWIN_EMUL32" = 1 ] && [ "${TAMEWIN_IN_EMUL32:-}" != 1 ]
}

# Runs the command ($@) where this mode's programs can run: in that namespace when needed,
# else here.
tamewin_in_mode() {
  if tamewin_outside_mode; then "$tamewin_root/scripts/emul32.sh" run "$@"; else "$@"; fi
}

# The same, in place of the calling shell when it needs the namespace; else returns, and the
# caller goes on.
tamewin_enter_mode() {
  if tamewin_outside_mode; then exec "$tamewin_root/scripts/emul32.sh" run "$@"; fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ] && [ $# -gt 1 ]; then
  tamewin_require_arch "$1"
  shift
  tamewin_enter_mode "$@"
  exec "$@"
fi
