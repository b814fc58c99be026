#!/usr/bin/env bash
# Usage: emul32.sh fetch
#        emul32.sh check
#        emul32.sh run COMMAND [ARGS...]
# 32-bit Linux programs (Wine's 32-bit loader among them) on a machine whose kernel refuses them:
# user-mode emulation with qemu-i386, registered for i386 programs in a binfmt_misc instance of
# a new user, mount and PID namespace (Linux 6.7 and later give each such namespace its own).
# Nothing on the host changes: no registration outside the namespace, no package installed.
#
# fetch  brings qemu-i386 once, from the qemu-user package of the host release's backports
#        suite (its static binary, unpacked under build/qemu-user; the package is not installed).
#        Debian 12's own qemu-user 7.2 takes about 50 s to start a 32-bit Wine program; 10.x
#        about 1 s. On failure it says why in one line and exits with 3.
# check  fetches, then makes such a namespace and runs a 32-bit probe in it; exits 0 when that
#        works, else says why in one line and exits with 3.
# run    runs COMMAND in such a namespace, with TAMEWIN_IN_EMUL32=1, and exits with its status.
#        When COMMAND ends, or this script is ended by a signal, the kernel ends every process
#        started inside (wineserver, Wine's services, programs under test). COMMAND's standard
#        input is /dev/null.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
base="$root/build/qemu-user"
qemu="$base/qemu-i386"
# Oldest emulator major version that starts 32-bit Wine programs in reasonable time.
min_major=10

unavailable() {
  echo "$*" >&2
  exit 3
}

fetch() {
  [ -x "$qemu" ] && return 0
  local codename mirror apt_dir
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  mirror=$("$root/scripts/host-mirror.sh")
  [ -n "$mirror" ] || unavailable "no Debian mirror for $codename in this machine's apt sources"
  # A private apt configuration: the host's sources and lists stay as they are.
  apt_dir="$base/apt"
  rm -rf "$base"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$base/deb"
  echo "deb $mirror $codename-backports main" >"$apt_dir/sources.list"
  local opts=(-qq -o "Dir::Etc::SourceList=$apt_dir/sources.list"
    -o Dir::Etc::SourceParts=/dev/null -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache=$apt_dir/cache" -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" update >/dev/null 2>&1 ||
    unavailable "could not read $codename-backports from $mirror"
  (cd "$base/deb" && apt-get "${opts[@]}" download qemu-user >/dev/null 2>&1) ||
    unavailable "could not download qemu-user from $codename-backports"
  dpkg-deb -x "$base"/deb/qemu-user_*.deb "$base/deb/x"
  local version
  version=$(dpkg-deb -f "$base"/deb/qemu-user_*.deb Version)
  mv "$base/deb/x/usr/bin/qemu-i386" "$qemu.new"
  rm -rf "$base/deb" "$apt_dir"
  local major=${version#*:}
  major=${major%%.*}
  if [ "$major" -lt "$min_major" ]; then
    rm -f "$qemu.new"
    unavailable "qemu-user $version is older than $min_major.0: 32-bit programs would start too slowly"
  fi
  echo "$version" >"$base/version"
  mv "$qemu.new" "$qemu"
}

# The emulator for i386 ELF programs (executables and shared objects), opened at registration
# (flag F) so that it need not be reachable by path from every process.
register() {
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  printf ':tamewin-i386:M::%s:%s:%s:F' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
    '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' \
    "$qemu" >/proc/sys/fs/binfmt_misc/register
}

in_namespace() {
  # unshare ignores SIGINT and SIGTERM while it waits, and the namespace's first process, as
  # any such, is deaf to signals it has no handler for: a signal to this script kills unshare,
  # which takes the namespace with it.
  local child status=0
  TAMEWIN_IN_EMUL32=1 unshare --user --map-root-user --mount --pid --fork --kill-child \
    --mount-proc bash "${BASH_SOURCE[0]}" inside "$@" &
  child=$!
  trap 'kill -KILL "$child" 2>/dev/null; exit 130' INT
  trap 'kill -KILL "$child" 2>/dev/null; exit 143' TERM HUP
  wait "$child" || status=$?
  exit "$status"
}

case "${1:-}" in
  fetch) fetch ;;
  check)
    fetch
    # The namespace, the mount and the registration each fail on an older or locked-down kernel.
    status=0
    out=$( (in_namespace "$root/scripts/runs32.sh") 2>&1) || status=$?
    [ "$status" -eq 0 ] || unavailable "a namespace with its own binfmt_misc could not run the" \
      "32-bit probe (Linux 6.7 or later with user namespaces needed): ${out:-status $status}"
    ;;
  run)
    shift
    fetch
    in_namespace "$@"
    ;;
  inside)
    shift
    register
    exec "$@"
    ;;
  *)
    echo "usage: emul32.sh fetch | check | run COMMAND [ARGS...]" >&2
    exit 2
    ;;
esac
