#!/usr/bin/env bash
# Usage: wine10.sh setup
#        wine10.sh exec COMMAND [ARGS...]
# Debian 13's Wine 10 beside this machine's Wine 8. Wine 10 raises EVENT_SYSTEM_FOREGROUND as
# Windows 10/11 do; Wine 8 never does.
#
# setup makes (once) a Debian 13 tree with wine64 in build/wine10/root, and build/wine10/bin with
# a `wine` and a `wineserver` that run Wine 10 there: put that directory first on PATH and every
# call of either goes to Wine 10. Where the tree cannot be made it says why in one line and exits
# with 3, so a caller can report Wine 10 as unavailable and go on.
# Where this machine runs 32-bit Linux programs, setup also adds the tree's 32-bit Wine
# (wine32:i386), so 32-bit Windows programs run in a WoW64 prefix as on 64-bit Windows; the
# marker build/wine10/.wow64 says it is there. Where that fails or cannot run, the reason is
# in build/wine10/.no-wow64 and setup still succeeds, for 64-bit programs.
# exec runs COMMAND inside the tree with bubblewrap. The tree's `wine` is /usr/lib/wine/wine64.
# /tmp (the X socket, wineserver's socket) and the repository are shared at their own paths, so
# build outputs and prefixes under build/ have the same paths inside and out; the environment
# (DISPLAY, WINEPREFIX, WINEDEBUG...) passes through. Mounts live in bwrap's own namespace only:
# none is left behind. Never use one prefix with both Wine 8 and Wine 10.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
base="$root/build/wine10"
tree="$base/root"
log="$base/setup.log"

unavailable() {
  echo "wine10: Wine 10 unavailable: $*" >&2
  exit 3
}

# Runs a command inside the tree.
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
    unavailable "something is mounted under $tree: unmount it, then run setup again"
  fi
  rm -rf --one-file-system "$tree"
}

# build/wine10/bin: `wine` and `wineserver` for the host's PATH, relative to their own place.
make_wrappers() {
  mkdir -p "$base/bin"
  local name
  for name in wine wineserver; do
    printf '#!/bin/sh\nexec "$(dirname "$0")/../../../scripts/wine10.sh" exec %s "$@"\n' "$name" \
      >"$base/bin/$name.new"
    chmod +x "$base/bin/$name.new"
    mv "$base/bin/$name.new" "$base/bin/$name"
  done
}

# A tree is reused once complete: the marker is written last.
reuse() {
  [ -f "$base/.complete" ] && [ -x "$tree/usr/lib/wine/wine64" ] || return 1
  [ -x "$base/bin/wineserver" ] || make_wrappers
  add_wow64
  echo "wine10: reused the Debian 13 tree ($(cat "$base/.complete")), $(($(date +%s) - started)) s"
}

# The tree's 32-bit Wine, once, where 32-bit Linux programs run natively. Under emulation the
# 32-bit loader would need the emulator registered inside bubblewrap's namespace too: not done.
add_wow64() {
  local why
  [ -f "$base/.wow64" ] && return 0
  exec 9>"$base/.lock"
  flock 9
  [ -f "$base/.wow64" ] && return 0
  rm -f "$base/.no-wow64"
  if ! "$root/scripts/runs32.sh"; then
    echo "this machine does not run 32-bit Linux programs natively" >"$base/.no-wow64"
    return 0
  fi
  echo "wine10: adding the tree's 32-bit Wine (wine32:i386)"
  # With the same X extension libraries as the 64-bit side.
  if (in_tree env DEBIAN_FRONTEND=noninteractive sh -c 'dpkg --add-architecture i386 &&
      apt-get update -qq && apt-get install -y -qq --no-install-recommends wine32:i386 \
        libxcomposite1:i386 libxcursor1:i386 libxfixes3:i386 libxi6:i386 libxinerama1:i386 \
        libxrandr2:i386 libxrender1:i386 libxxf86vm1:i386 && apt-get clean') >>"$log" 2>&1 &&
     [ -x "$tree/usr/lib/wine/wine" ]; then
    echo "wine32:i386 $(in_tree dpkg-query -W -f='${Version}' wine32:i386)" >"$base/.wow64"
  else
    why="apt-get install wine32:i386 in the Debian 13 tree failed (see $log)"
    echo "$why" >"$base/.no-wow64"
    echo "wine10: $why; 32-bit programs will not run under Wine 10" >&2
  fi
}

setup() {
  local started pkgs=() p mirror script why server version size
  started=$(date +%s)
  reuse && return 0
  [ "$(id -u)" -eq 0 ] || unavailable "making its Debian 13 tree needs root (debootstrap)"
  mkdir -p "$base"
  # One setup at a time: a second one waits, then finds the tree made.
  exec 9>"$base/.lock"
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
        --no-install-recommends "${pkgs[@]}"; } >"$log" 2>&1 ||
      unavailable "could not install ${pkgs[*]} (see $log)"
  fi
  mirror=$("$root/scripts/host-mirror.sh") || true
  [ -n "$mirror" ] || unavailable "no http(s) Debian mirror in this machine's apt sources"
  wget -q -T 20 -t 2 -O /dev/null "${mirror%/}/dists/trixie/Release" ||
    unavailable "the mirror $mirror does not answer for trixie"

  rm -f "$base/.complete" "$base/.wow64" "$base/.no-wow64"
  remove_tree
  # An older debootstrap that lacks trixie's script bootstraps it with sid's (the same one).
  script=/usr/share/debootstrap/scripts/trixie
  [ -e "$script" ] || script=/usr/share/debootstrap/scripts/sid
  echo "wine10: making the Debian 13 tree (debootstrap trixie from $mirror; a few minutes)"
  # In a mount namespace of its own, so whatever debootstrap mounts dies with it.
  unshare --mount --propagation private \
    debootstrap --variant=minbase trixie "$tree" "$mirror" "$script" >"$log" 2>&1 || {
    why=$(grep '^E:' "$log" | tail -n 1) || why=$(tail -n 1 "$log")
    remove_tree
    unavailable "debootstrap of trixie from $mirror failed: $why (see $log)"
  }
  echo "wine10: installing wine64 in the tree"
  # With the X extension libraries Wine's X11 driver loads at run time (recommended, not
  # required; the host's Wine 8 has them), so the two Wines differ in Wine alone.
  (in_tree env DEBIAN_FRONTEND=noninteractive sh -c 'apt-get update -qq &&
    apt-get install -y -qq --no-install-recommends wine64 libxcomposite1 libxcursor1 libxfixes3 \
      libxi6 libxinerama1 libxrandr2 libxrender1 libxxf86vm1 && apt-get clean') >>"$log" 2>&1 || {
    remove_tree
    unavailable "apt-get install wine64 in the Debian 13 tree failed (see $log)"
  }
  # The tree's `wine` and `wineserver`: the 64-bit loader, whatever the package calls its server.
  server=
  for p in usr/lib/wine/wineserver64 usr/lib/wine/wineserver; do
    [ -x "$tree/$p" ] && { server=$p; break; }
  done
  [ -n "$server" ] || { remove_tree; unavailable "wine64 in the Debian 13 tree has no wineserver"; }
  printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
    >"$tree/usr/local/bin/wine"
  printf '#!/bin/sh\nexec /%s "$@"\n' "$server" >"$tree/usr/local/bin/wineserver"
  chmod +x "$tree/usr/local/bin/wine" "$tree/usr/local/bin/wineserver"
  version=$(in_tree wine --version 2>&1) ||
    { remove_tree; unavailable "Wine in the Debian 13 tree does not start: $version"; }
  make_wrappers
  add_wow64
  size=$(du -sh "$tree" | cut -f1)
  echo "$version, $size" >"$base/.complete"
  echo "wine10: made the Debian 13 tree with $version in $(($(date +%s) - started)) s; $size" \
       "in $tree; put $base/bin first on PATH"
}

case "${1:-}" in
  setup) setup ;;
  exec)
    shift
    [ $# -gt 0 ] || { echo "usage: $0 exec COMMAND [ARGS...]" >&2; exit 2; }
    [ -f "$base/.complete" ] || unavailable "its Debian 13 tree is not made (run $0 setup)"
    in_tree "$@" ;;
  *)
    echo "usage: $0 setup | $0 exec COMMAND [ARGS...]" >&2
    exit 2 ;;
esac
