#!/usr/bin/env bash
# Usage: wine.sh mode                  says the Wine mode of this machine, and why, in one line
#        wine.sh env                   the mode as export lines: mode=$(wine.sh env); eval "$mode"
#        wine.sh prefix [DIR]          makes a prefix of the mode in DIR (default: its test prefix)
#        wine.sh run [ARCH] COMMAND... runs COMMAND where the mode's programs (of build ARCH) run
#        wine.sh exec ARCH PROGRAM...  runs one Windows program of the build ARCH in the test prefix
#        wine.sh runs32                exits 0 when this machine runs 32-bit Linux programs
#        wine.sh emul fetch | check    the emulator for 32-bit Linux programs
#        wine.sh wine10 setup          makes Wine 10's Debian 13 tree
#        wine.sh wine10 exec CMD...    runs CMD in that tree (build/wine10/bin calls it)
# The one way the project runs Wine: the scripts, the benchmark and ctest (exec is its emulator,
# run starts the end-to-end tests; DISPLAY must name an X server) all come through here.
#
# Modes. Wine's 32-bit loader is itself a 32-bit Linux program, and once wine32:i386 is installed
# Debian's `wine` always picks it, even for 64-bit programs.
# - WoW64: the machine runs 32-bit Linux programs; 32- and 64-bit Windows programs run.
# - WoW64 through emulation: its kernel refuses them, so they run under qemu-i386, registered only
#   in a user, mount and PID namespace of the run's own (Linux 6.7 or later), where Wine runs.
# - 64-bit only: neither; 64-bit programs through Wine's 64-bit loader.
# - Wine 10: Debian 13's Wine (wine10 setup) in place of the machine's Wine 8, for 64-bit
#   programs, and 32-bit ones where setup added the tree's 32-bit side.
# The mode is decided once per run and said in one line. It is exported to every command started
# here, which inherits it (for the Wine its prefix tag names) and says nothing:
#   TAMEWIN_WINE_VERSION  8 (the machine's Wine; the default) or 10, as the caller sets it
#   TAMEWIN_WINE_ARCH     wow64 or win64 (64-bit only); win64 from the caller forces that mode
#   TAMEWIN_EMUL32        1 when Wine runs inside emulation's namespace, else 0; 0 from the
#                         caller leaves emulation out, 1 asks for it where 32-bit ones run too
#   TAMEWIN_WINE_WHY      why this mode
#   TAMEWIN_PREFIX_TAG    the ending of the mode's prefix folders: a prefix serves one Wine and mode
#   TAMEWIN_ARCHS         the builds whose programs run ("i686 x86_64", or "x86_64")
#   TAMEWIN_MAIN_ARCH     the build that run.sh starts
# Exit statuses: 77 (what ctest reports as skipped) where programs of ARCH cannot run in this
# mode; 3 where emulation or Wine 10 cannot be had (one line says why); 2 for a wrong usage.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
self="$root/scripts/wine.sh"

usage() {
  sed -n '2,10s/^# \{0,1\}//p' "$self" >&2
  exit 2
}

fail() {
  echo "wine: $*" >&2
  exit 1
}

# A 93-byte static i386 program that exits with 42. It needs nothing installed, Wine least of all.
runs32() {
  local probe status=0
  probe=$(mktemp)
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0' >"$probe"
  printf '\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10' >>"$probe"
  printf '\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\61\333\263\52\61\300\100\315\200' >>"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 42 ]
}

# The first http(s) archive that this machine's apt sources (one-line or deb822) name for the
# host's own release: a Debian mirror, not a third-party or security archive. Empty if none.
host_mirror() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE) $(TARGET_OF)' |
    awk -v c="$codename" '!found && $2 == c && $3 == "deb" && $1 ~ /^https?:\/\// {
      print $1; found = 1 }'
}

# ---- The mode ----------------------------------------------------------------------------------

# Sets and exports the decision, inherited or made now; fresh=1 when made now.
decide() {
  local version=${TAMEWIN_WINE_VERSION:-8} arch=${TAMEWIN_WINE_ARCH:-} emul=0 why emul_why='' tag
  local archs="i686 x86_64" main=i686
  fresh=0
  case "$version:${TAMEWIN_PREFIX_TAG:-}" in
    8:wow64 | 8:win64 | 10:wine10-*)
      if [ -n "${TAMEWIN_WINE_WHY:-}" ]; then return 0; fi ;;
  esac
  fresh=1
  case "$version:$arch" in
    10:*)
      if [ -f "$root/build/wine10/.wow64" ]; then
        arch=wow64
        why="the Debian 13 tree has its 32-bit Wine: this machine runs 32-bit programs"
      else
        arch=win64
        why=$(cat "$root/build/wine10/.no-wow64" 2>/dev/null) ||
          why="the Debian 13 tree has no 32-bit Wine (scripts/wine.sh wine10 setup adds it)"
      fi ;;
    8:win64) why="TAMEWIN_WINE_ARCH=win64 asks for it" ;;
    8:wow64 | 8:)
      local forced=0
      [ "${TAMEWIN_EMUL32:-}" = 1 ] && forced=1
      if [ "$forced" = 0 ] && runs32; then
        arch=wow64
        why="this machine runs 32-bit Linux programs, so the 32-bit Wine loader can start"
      elif [ "${TAMEWIN_EMUL32:-}" != 0 ] && emul_why=$("$self" emul check 2>&1); then
        # Asked for, emulation runs even where the kernel runs 32-bit programs itself: the
        # namespace's handler comes before the kernel's own loader.
        arch=wow64 emul=1
        why="this machine refuses 32-bit Linux programs, so they run under"
        [ "$forced" = 0 ] || why="TAMEWIN_EMUL32=1 asks for it, so 32-bit Linux programs run under"
        why+=" qemu-i386 $(cat "$root/build/qemu-user/version"), registered only inside"
        why+=" a namespace of the run's own"
      elif [ "$forced" = 1 ]; then
        fail "TAMEWIN_EMUL32=1, but emulation cannot be had: $emul_why"
      elif [ "$arch" = wow64 ]; then
        fail "TAMEWIN_WINE_ARCH=wow64, but this machine cannot run 32-bit Linux programs"
      else
        arch=win64
        why="this machine cannot run 32-bit Linux programs (Exec format error), so the"
        why+=" 32-bit Wine loader cannot start, and emulation is unavailable:"
        why+=" ${emul_why:-TAMEWIN_EMUL32=0 turns it off}"
      fi ;;
    8:*) fail "TAMEWIN_WINE_ARCH must be win64 or wow64, not '$arch'" ;;
    *) fail "TAMEWIN_WINE_VERSION must be 8 or 10, not '$version'" ;;
  esac
  tag=$arch
  if [ "$version" = 10 ]; then tag=wine10-$arch main=x86_64; fi
  if [ "$arch" = win64 ]; then archs=x86_64 main=x86_64; fi
  export TAMEWIN_WINE_VERSION=$version TAMEWIN_WINE_ARCH=$arch TAMEWIN_EMUL32=$emul \
    TAMEWIN_WINE_WHY=$why TAMEWIN_PREFIX_TAG=$tag TAMEWIN_ARCHS=$archs TAMEWIN_MAIN_ARCH=$main
}

say() {
  if [ "$TAMEWIN_WINE_VERSION" = 10 ]; then
    if [ "$TAMEWIN_WINE_ARCH" = wow64 ]; then
      echo "wine: Wine 10 (Debian 13, scripts/wine.sh wine10), WoW64 (i686 and x86_64 programs)"
    else
      echo "wine: Wine 10 (Debian 13, scripts/wine.sh wine10), x86_64 programs only:" \
           "$TAMEWIN_WINE_WHY"
    fi
  elif [ "$TAMEWIN_WINE_ARCH" = win64 ]; then
    echo "wine: 64-bit only mode (x86_64 programs; i686 programs not run): $TAMEWIN_WINE_WHY"
  elif [ "$TAMEWIN_EMUL32" = 1 ]; then
    echo "wine: WoW64 through emulation (i686 and x86_64 programs): $TAMEWIN_WINE_WHY"
  else
    echo "wine: WoW64 mode (i686 and x86_64 programs): $TAMEWIN_WINE_WHY"
  fi
}

# The `wine` and `wineserver` of the mode first on PATH. Wine 10's run in its tree; the 64-bit-only
# mode's bypass Debian's `wine`, which would pick the 32-bit loader.
put_wine_on_path() {
  local bin
  if [ "$TAMEWIN_WINE_VERSION" = 10 ]; then
    # Wine's 64-bit prefix, with its WoW64 side where the 32-bit Wine exists.
    export WINEARCH=win64
    bin="$root/build/wine10/bin"
  elif [ "$TAMEWIN_WINE_ARCH" = win64 ]; then
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
    bin="$root/build/wine64-bin"
    if [ ! -x "$bin/wineserver" ]; then
      mkdir -p "$bin"
      printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
        >"$bin/wine"
      printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' >"$bin/wineserver"
      chmod +x "$bin/wine" "$bin/wineserver"
    fi
  else
    return 0
  fi
  case ":$PATH:" in
    *":$bin:"*) ;;
    *) export PATH="$bin:$PATH" ;;
  esac
}

# Ends with 77 when programs of the build $1 cannot run in this mode.
require_arch() {
  if [[ " $TAMEWIN_ARCHS " != *" $1 "* ]]; then
    echo "not run: $1 programs need the WoW64 mode, and $TAMEWIN_WINE_WHY"
    exit 77
  fi
}

# True when the mode runs Wine in emulation's namespace and this process is outside it (only
# there is our emulator registered).
outside_mode() {
  [ "$TAMEWIN_EMUL32" = 1 ] && [ ! -e /proc/sys/fs/binfmt_misc/tamewin-i386 ]
}

# Wine 8's 64-bit loader (Debian 12's, built without Wine's preloader) is not position-independent:
# it sits at 0x7d000000, and the kernel puts the brk heap at a random point up to 1 GB above it.
# Wine reserves its fixed areas only once running (mmap_init in dlls/ntdll/unix/virtual.c), so
# where the heap has landed over 0x7ffe0000 the process ends at once with "failed to map the
# shared user data" (virtual_alloc_first_teb): about one 64-bit start in 5,000. Without address
# randomization the heap follows the loader. The personality passes to every process started
# from here, the server and the programs' children too; Wine 10's loaders are position-independent.
fixed_layout() {
  layout=()
  if [ "$TAMEWIN_WINE_VERSION" = 8 ]; then layout=(setarch "$(uname -m)" -R); fi
}

# Runs a command in place of this one, where the mode's programs run.
exec_in_mode() {
  fixed_layout
  if outside_mode; then emul_run "${layout[@]}" "$@"; fi
  exec "${layout[@]}" "$@"
}

# ---- Prefixes ----------------------------------------------------------------------------------
# Every program of a prefix runs inside one Wine virtual desktop (1024x768) with a taskbar and
# notification area, so windows activate and the tray works without a window manager. The Mono
# and Gecko installers are suppressed so no dialog waits on the display. Wine makes the mode's
# first prefix, build/wineprefix-template-TAG; every other one is a copy of it, which takes a
# second where wineboot takes 15 s, and 35 s under emulation.

# The marker names the mode and the version of this set-up: a prefix of another mode is made anew.
prefix_ready() { [ "$(cat "$1/.tamewin-ready" 2>/dev/null)" = "$TAMEWIN_PREFIX_TAG 2" ]; }

make_prefix() {
  local dir=$1 template="$root/build/wineprefix-template-$TAMEWIN_PREFIX_TAG" key
  mkdir -p "$(dirname "$template")"
  exec 9>"$template.lock"
  flock 9 # one maker at a time
  if ! prefix_ready "$template"; then
    export WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    rm -rf "$template"
    mkdir -p "$template"
    fixed_layout
    local wine=("${layout[@]}" wine)
    "${wine[@]}" wineboot -i >/dev/null 2>&1
    key='HKCU\Software\Wine'
    "${wine[@]}" reg add "$key\\Explorer" /v Desktop /d Tamewin /f >/dev/null 2>&1
    "${wine[@]}" reg add "$key\\Explorer\\Desktops" /v Tamewin /d 1024x768 /f >/dev/null 2>&1
    # The desktop's own taskbar, with its notification area.
    "${wine[@]}" reg add "$key\\Explorer\\Desktops\\Tamewin" /v EnableShell /t REG_DWORD /d 1 /f \
      >/dev/null 2>&1
    # A program that crashes ends at once, reported on standard error, instead of waiting in
    # a crash dialog that nobody will close.
    "${wine[@]}" reg add "$key\\WineDbg" /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    echo "$TAMEWIN_PREFIX_TAG 2" >"$template/.tamewin-ready"
  fi
  if [ "$dir" != "$template" ]; then
    rm -rf "$dir"
    cp -a "$template" "$dir.new"
    # The file naming the template's server directory: a copy gets a server of its own. Debian's
    # Wine writes that file on a prefix's first start, and a second program starting meanwhile
    # can read it empty and stop ("fixed a temporary directory error"): have one command write
    # it now. `wineserver -k` finds no server to end and fails; the name is written all the same.
    rm -f "$dir.new/wineserver"
    WINEPREFIX="$dir.new" wineserver -k 2>/dev/null || true
    mv "$dir.new" "$dir"
  fi
}

# ---- Emulation ---------------------------------------------------------------------------------
# 32-bit Linux programs (Wine's 32-bit loader among them) where the kernel refuses them: qemu-i386
# registered for i386 programs in a binfmt_misc instance of a new user, mount and PID namespace.
# Nothing on the host changes: no registration outside the namespace, no package installed.
qemu_dir="$root/build/qemu-user"
qemu="$qemu_dir/qemu-i386"
# Oldest emulator major version that starts 32-bit Wine programs in reasonable time.
qemu_min_major=10

emul_unavailable() {
  echo "$*" >&2
  exit 3
}

# qemu-i386, once, from the qemu-user package of the host release's backports suite: its static
# binary, unpacked under build/qemu-user (the package is not installed). Debian 12's own
# qemu-user 7.2 takes about 50 s to start a 32-bit Wine program; 10.x about 1 s.
emul_fetch() {
  [ -x "$qemu" ] && return 0
  local codename mirror apt_dir version major
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  mirror=$(host_mirror)
  [ -n "$mirror" ] ||
    emul_unavailable "no Debian mirror for $codename in this machine's apt sources"
  # A private apt configuration: the host's sources and lists stay as they are.
  apt_dir="$qemu_dir/apt"
  rm -rf "$qemu_dir"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$qemu_dir/deb"
  echo "deb $mirror $codename-backports main" >"$apt_dir/sources.list"
  local opts=(-qq -o "Dir::Etc::SourceList=$apt_dir/sources.list"
    -o Dir::Etc::SourceParts=/dev/null -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache=$apt_dir/cache" -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" update >/dev/null 2>&1 ||
    emul_unavailable "could not read $codename-backports from $mirror"
  (cd "$qemu_dir/deb" && apt-get "${opts[@]}" download qemu-user >/dev/null 2>&1) ||
    emul_unavailable "could not download qemu-user from $codename-backports"
  dpkg-deb -x "$qemu_dir"/deb/qemu-user_*.deb "$qemu_dir/deb/x"
  version=$(dpkg-deb -f "$qemu_dir"/deb/qemu-user_*.deb Version)
  mv "$qemu_dir/deb/x/usr/bin/qemu-i386" "$qemu.new"
  rm -rf "$qemu_dir/deb" "$apt_dir"
  major=${version#*:}
  major=${major%%.*}
  if [ "$major" -lt "$qemu_min_major" ]; then
    rm -f "$qemu.new"
    emul_unavailable "qemu-user $version is older than $qemu_min_major.0: 32-bit programs would" \
      "start too slowly"
  fi
  echo "$version" >"$qemu_dir/version"
  mv "$qemu.new" "$qemu"
}

# The emulator for i386 ELF programs (executables and shared objects), opened at registration
# (flag F) so that it need not be reachable by path from every process.
emul_register() {
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  printf ':tamewin-i386:M::%s:%s:%s:F' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
    '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' \
    "$qemu" >/proc/sys/fs/binfmt_misc/register
}

# Runs a command in such a namespace and exits with its status. When the command ends, or this
# process is ended by a signal, the kernel ends every process started inside (wineserver, Wine's
# services, programs under test). The command's standard input is /dev/null.
emul_run() {
  emul_fetch
  # unshare ignores SIGINT and SIGTERM while it waits, and the namespace's first process, as
  # any such, is deaf to signals it has no handler for: a signal here kills unshare, which
  # takes the namespace with it.
  local child status=0
  unshare --user --map-root-user --mount --pid --fork --kill-child --mount-proc \
    bash "$self" emul inside "$@" &
  child=$!
  trap 'kill -KILL "$child" 2>/dev/null; exit 130' INT
  trap 'kill -KILL "$child" 2>/dev/null; exit 143' TERM HUP
  wait "$child" || status=$?
  exit "$status"
}

emul() {
  local status=0 out
  case "${1:-}" in
    fetch) emul_fetch ;;
    check)
      # The namespace, the mount and the registration each fail on an old or locked-down kernel.
      emul_fetch
      out=$( (emul_run "$self" runs32) 2>&1) || status=$?
      [ "$status" -eq 0 ] || emul_unavailable "a namespace with its own binfmt_misc could not" \
        "run the 32-bit probe (Linux 6.7 or later with user namespaces needed):" \
        "${out:-status $status}"
      ;;
    inside)
      shift
      emul_register
      exec "$@"
      ;;
    *) usage ;;
  esac
}

# ---- Wine 10 -----------------------------------------------------------------------------------
# Debian 13's Wine 10 beside this machine's Wine 8: it raises EVENT_SYSTEM_FOREGROUND as Windows
# 10/11 do; Wine 8 never does. setup makes (once) a Debian 13 tree with wine64 in
# build/wine10/root, and build/wine10/bin with a `wine` and a `wineserver` that run Wine 10 there
# (the mode puts that directory first on PATH). Where the tree cannot be made it says why in one
# line and exits with 3, so a caller can report Wine 10 as unavailable and go on. Where this
# machine runs 32-bit Linux programs, setup also adds the tree's 32-bit Wine (wine32:i386), so
# 32-bit programs run in a WoW64 prefix as on 64-bit Windows; the marker build/wine10/.wow64 says
# it is there. Where that fails or cannot run, the reason is in build/wine10/.no-wow64 and setup
# still succeeds, for 64-bit programs.
# exec runs a command inside the tree with bubblewrap; the tree's `wine` is /usr/lib/wine/wine64.
# /tmp (the X socket, wineserver's socket) and the repository are shared at their own paths, so
# build outputs and prefixes under build/ have the same paths inside and out; the environment
# (DISPLAY, WINEPREFIX, WINEDEBUG...) passes through. Mounts live in bwrap's own namespace only:
# none is left behind. Never use one prefix with both Wine 8 and Wine 10.
w10="$root/build/wine10"
tree="$w10/root"
w10_log="$w10/setup.log"

w10_unavailable() {
  echo "wine10: Wine 10 unavailable: $*" >&2
  exit 3
}

# Runs a command inside the tree, in place of this process.
in_tree() {
  local binds=(--bind /tmp /tmp --bind "$root" "$root")
  # The caller's directory too, unless the tree's own system directories would be hidden by it.
  if [[ $PWD != "$root" && $PWD != "$root"/* && $PWD != /tmp && $PWD != /tmp/* && $PWD != / &&
        ! $PWD =~ ^/(usr|etc|var|bin|sbin|lib[a-z0-9]*|boot|proc|sys|dev|run)(/|$) ]]; then
    binds+=(--bind "$PWD" "$PWD")
  fi
  # The host's PATH names host programs (and maybe build/wine10/bin itself): not wanted inside.
  exec bwrap --bind "$tree" / --proc /proc --dev /dev --tmpfs /dev/shm \
    --ro-bind /etc/resolv.conf /etc/resolv.conf "${binds[@]}" --die-with-parent \
    --setenv PATH /usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    --setenv WINELOADER /usr/lib/wine/wine64 "$@"
}

# A half-made tree (no marker) is removed. A mount left under it (debootstrap's, were it killed)
# would let rm reach the host's files, so then nothing is removed.
remove_tree() {
  if awk -v t="$tree" '$5 == t || index($5, t "/") == 1 { found = 1 } END { exit !found }' \
       /proc/self/mountinfo; then
    w10_unavailable "something is mounted under $tree: unmount it, then run setup again"
  fi
  rm -rf --one-file-system "$tree"
}

# build/wine10/bin: `wine` and `wineserver` for the host's PATH, relative to their own place.
make_wrappers() {
  local name
  mkdir -p "$w10/bin"
  for name in wine wineserver; do
    printf '#!/bin/sh\nexec "$(dirname "$0")/../../../scripts/wine.sh" wine10 exec %s "$@"\n' \
      "$name" >"$w10/bin/$name.$$"
    chmod +x "$w10/bin/$name.$$"
    mv "$w10/bin/$name.$$" "$w10/bin/$name"
  done
}

# A tree is reused once complete: the marker is written last.
reuse() {
  [ -f "$w10/.complete" ] && [ -x "$tree/usr/lib/wine/wine64" ] || return 1
  grep -qs 'wine.sh" wine10 exec' "$w10/bin/wineserver" || make_wrappers
  add_wow64
  echo "wine10: reused the Debian 13 tree ($(cat "$w10/.complete")), $(($(date +%s) - started)) s"
}

# The tree's 32-bit Wine, once, where 32-bit Linux programs run natively. Under emulation the
# 32-bit loader would need the emulator registered inside bubblewrap's namespace too: not done.
add_wow64() {
  local why
  [ -f "$w10/.wow64" ] && return 0
  exec 9>"$w10/.lock"
  flock 9
  [ -f "$w10/.wow64" ] && return 0
  rm -f "$w10/.no-wow64"
  if ! runs32; then
    echo "this machine does not run 32-bit Linux programs natively" >"$w10/.no-wow64"
    return 0
  fi
  echo "wine10: adding the tree's 32-bit Wine (wine32:i386)"
  # With the same X extension libraries as the 64-bit side.
  if (in_tree env DEBIAN_FRONTEND=noninteractive sh -c 'dpkg --add-architecture i386 &&
      apt-get update -qq && apt-get install -y -qq --no-install-recommends wine32:i386 \
        libxcomposite1:i386 libxcursor1:i386 libxfixes3:i386 libxi6:i386 libxinerama1:i386 \
        libxrandr2:i386 libxrender1:i386 libxxf86vm1:i386 && apt-get clean') >>"$w10_log" 2>&1 &&
     [ -x "$tree/usr/lib/wine/wine" ]; then
    echo "wine32:i386 $(in_tree dpkg-query -W -f='${Version}' wine32:i386)" >"$w10/.wow64"
  else
    why="apt-get install wine32:i386 in the Debian 13 tree failed (see $w10_log)"
    echo "$why" >"$w10/.no-wow64"
    echo "wine10: $why; 32-bit programs will not run under Wine 10" >&2
  fi
}

w10_setup() {
  local pkgs=() p mirror script why server version size
  started=$(date +%s)
  reuse && return 0
  [ "$(id -u)" -eq 0 ] || w10_unavailable "making its Debian 13 tree needs root (debootstrap)"
  mkdir -p "$w10"
  # One setup at a time: a second one waits, then finds the tree made.
  exec 9>"$w10/.lock"
  flock 9
  reuse && return 0
  for p in debootstrap bubblewrap debian-archive-keyring; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || pkgs+=("$p")
  done
  if [ ${#pkgs[@]} -gt 0 ]; then
    echo "wine10: installing ${pkgs[*]}"
    # Waits for a dpkg lock another installer holds instead of failing at once.
    { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 update -qq &&
      DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 install -y -qq \
        --no-install-recommends "${pkgs[@]}"; } >"$w10_log" 2>&1 ||
      w10_unavailable "could not install ${pkgs[*]} (see $w10_log)"
  fi
  mirror=$(host_mirror) || true
  [ -n "$mirror" ] || w10_unavailable "no http(s) Debian mirror in this machine's apt sources"
  wget -q -T 20 -t 2 -O /dev/null "${mirror%/}/dists/trixie/Release" ||
    w10_unavailable "the mirror $mirror does not answer for trixie"

  rm -f "$w10/.complete" "$w10/.wow64" "$w10/.no-wow64"
  remove_tree
  # An older debootstrap that lacks trixie's script bootstraps it with sid's (the same one).
  script=/usr/share/debootstrap/scripts/trixie
  [ -e "$script" ] || script=/usr/share/debootstrap/scripts/sid
  echo "wine10: making the Debian 13 tree (debootstrap trixie from $mirror; a few minutes)"
  # In a mount namespace of its own, so whatever debootstrap mounts dies with it.
  unshare --mount --propagation private \
    debootstrap --variant=minbase trixie "$tree" "$mirror" "$script" >"$w10_log" 2>&1 || {
    why=$(grep '^E:' "$w10_log" | tail -n 1) || why=$(tail -n 1 "$w10_log")
    remove_tree
    w10_unavailable "debootstrap of trixie from $mirror failed: $why (see $w10_log)"
  }
  echo "wine10: installing wine64 in the tree"
  # With the X extension libraries Wine's X11 driver loads at run time (recommended, not
  # required; the host's Wine 8 has them), so the two Wines differ in Wine alone.
  (in_tree env DEBIAN_FRONTEND=noninteractive sh -c 'apt-get update -qq &&
    apt-get install -y -qq --no-install-recommends wine64 libxcomposite1 libxcursor1 libxfixes3 \
      libxi6 libxinerama1 libxrandr2 libxrender1 libxxf86vm1 && apt-get clean') \
    >>"$w10_log" 2>&1 || {
    remove_tree
    w10_unavailable "apt-get install wine64 in the Debian 13 tree failed (see $w10_log)"
  }
  # The tree's `wine` and `wineserver`: the 64-bit loader, whatever the package calls its server.
  server=
  for p in usr/lib/wine/wineserver64 usr/lib/wine/wineserver; do
    [ -x "$tree/$p" ] && { server=$p; break; }
  done
  [ -n "$server" ] ||
    { remove_tree; w10_unavailable "wine64 in the Debian 13 tree has no wineserver"; }
  printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
    >"$tree/usr/local/bin/wine"
  printf '#!/bin/sh\nexec /%s "$@"\n' "$server" >"$tree/usr/local/bin/wineserver"
  chmod +x "$tree/usr/local/bin/wine" "$tree/usr/local/bin/wineserver"
  version=$(in_tree wine --version 2>&1) ||
    { remove_tree; w10_unavailable "Wine in the Debian 13 tree does not start: $version"; }
  make_wrappers
  add_wow64
  size=$(du -sh "$tree" | cut -f1)
  echo "$version, $size" >"$w10/.complete"
  echo "wine10: made the Debian 13 tree with $version in $(($(date +%s) - started)) s; $size" \
       "in $tree; put $w10/bin first on PATH"
}

wine10() {
  case "${1:-}" in
    setup) w10_setup ;;
    exec)
      shift
      [ $# -gt 0 ] || usage
      [ -f "$w10/.complete" ] ||
        w10_unavailable "its Debian 13 tree is not made (run $self wine10 setup)"
      in_tree "$@" ;;
    *) usage ;;
  esac
}

# ---- Commands ----------------------------------------------------------------------------------
command=${1:-}
[ $# -gt 0 ] && shift
case "$command" in
  mode)
    decide
    say ;;
  env)
    decide
    [ "$fresh" = 0 ] || say >&2
    for name in TAMEWIN_WINE_VERSION TAMEWIN_WINE_ARCH TAMEWIN_EMUL32 TAMEWIN_WINE_WHY \
      TAMEWIN_PREFIX_TAG TAMEWIN_ARCHS TAMEWIN_MAIN_ARCH; do
      printf 'export %s=%q\n' "$name" "${!name}"
    done ;;
  prefix)
    decide
    [ "$fresh" = 0 ] || say
    dir=${1:-$root/build/wineprefix-$TAMEWIN_PREFIX_TAG}
    prefix_ready "$dir" && exit 0
    put_wine_on_path
    if outside_mode; then emul_run "$self" prefix "$dir"; fi
    make_prefix "$dir" ;;
  run)
    decide
    [ "$fresh" = 0 ] || say
    case "${1:-}" in i686 | x86_64) require_arch "$1" && shift ;; esac
    [ $# -gt 0 ] || usage
    put_wine_on_path
    exec_in_mode "$@" ;;
  exec)
    # Quiet, as ctest runs it for every test program.
    [ $# -gt 1 ] || usage
    decide
    arch=$1
    require_arch "$arch"
    shift
    dir="$root/build/wineprefix-$TAMEWIN_PREFIX_TAG"
    prefix_ready "$dir" || "$self" prefix "$dir"
    put_wine_on_path
    # Wine's error messages only: a test program that dies early then says why in its output.
    export WINEPREFIX="$dir" WINEDEBUG="${WINEDEBUG:--all,err+all}"
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
    # Wine 8's `wine` hands a 64-bit program to start.exe, a 32-bit program that starts it in
    # turn; under emulation that hand-over now and then loses it. The 64-bit loader starts it.
    if [ "$arch" = x86_64 ] && [ "$TAMEWIN_WINE_VERSION:$TAMEWIN_WINE_ARCH" = 8:wow64 ]; then
      exec_in_mode /usr/lib/wine/wine64 "$@"
    fi
    exec_in_mode wine "$@" ;;
  runs32) runs32 ;;
  emul) emul "$@" ;;
  wine10) wine10 "$@" ;;
  *) usage ;;
esac
