#!/usr/bin/env bash
# Usage: package.sh [--version X.Y.Z] [--out DIR] [ARCH...]   (ARCH: i686, x86_64; default both)
# Makes the release in dist/ (or DIR): for each architecture a Windows Installer package,
# tamewin-VERSION-ARCH.msi, and a portable zip, tamewin-VERSION-ARCH.zip, whose folder holds
# the program and everything it needs beside it. The version is the build's own (the
# project() line of CMakeLists.txt); --version packs the same build under another one, as a
# test of upgrades needs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version="" out="$root/dist" archs=()
while [ $# -gt 0 ]; do
  case $1 in
    --version) version=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) archs+=("$1"); shift ;;
  esac
done
[ ${#archs[@]} -gt 0 ] || archs=(i686 x86_64)

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "${archs[@]}"
mkdir -p "$out"
out=$(cd "$out" && pwd)  # the tools below run in other folders
upgrade_code=$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' "$root/packaging/tamewin.wxs")

for arch in "${archs[@]}"; do
  bin="$root/build/$arch"
  v=$version
  if [ -z "$v" ]; then
    v=$(sed -n 's/^#define TAMEWIN_VERSION_\(MAJOR\|MINOR\|REVISION\) //p' \
          "$bin/generated/version.h" | paste -sd.)
  fi
  case $arch in
    x86_64) msiarch=x64 win64=yes other=32 pf=ProgramFiles64Folder ;;
    i686) msiarch=x86 win64=no other=64 pf=ProgramFilesFolder ;;
    *) echo "package: unknown architecture $arch" >&2; exit 2 ;;
  esac
  msi="$out/tamewin-$v-$arch.msi"
  rm -f "$msi"
  # wixl takes the files' paths only relative to the working folder.
  (cd "$root" && wixl -a "$msiarch" -o "$msi" -D Version="$v" -D Win64="$win64" \
     -D Other="$other" -D ProgramFilesFolder="$pf" -D BinDir="build/$arch" \
     packaging/tamewin.wxs)
  # What wixl cannot say. The logon feature's condition (see the .wxs), with STARTATLOGON
  # among the properties that pass to an elevated install. A package of the same version
  # replaces the installed one too (so a rebuilt package never installs beside it): the
  # upgrade row's maximum becomes inclusive (513 = migrate features + VersionMaxInclusive).
  msibuild "$msi" -q "CREATE TABLE \`Condition\` (\`Feature_\` CHAR(38) NOT NULL, \`Level\` SHORT NOT NULL, \`Condition\` CHAR(255) PRIMARY KEY \`Feature_\`, \`Level\`)"
  msibuild "$msi" -q "INSERT INTO \`Condition\` (\`Feature_\`, \`Level\`, \`Condition\`) VALUES ('Logon', 1, 'STARTATLOGON=\"1\" OR (LOGONENTRY AND STARTATLOGON<>\"0\")')"
  msibuild "$msi" -q "UPDATE \`Property\` SET \`Value\` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;STARTATLOGON' WHERE \`Property\` = 'SecureCustomProperties'"
  msibuild "$msi" -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
  msibuild "$msi" -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('{$upgrade_code}', '$v', 513, 'WIX_UPGRADE_DETECTED')"

  # The portable copy: the same files, side by side in one folder.
  name="tamewin-$v-$arch"
  stage=$(mktemp -d)
  mkdir "$stage/$name"
  cp "$bin"/{tamewin.exe,tamehook.dll,tamehookhost$other.exe,tamehook$other.dll,tametrace.exe,tameremove.exe} \
     "$root/README.md" "$stage/$name/"
  rm -f "$out/$name.zip"
  (cd "$stage" && cmake -E tar cf "$out/$name.zip" --format=zip "$name")
  rm -rf "$stage"
  echo "package: $msi"
  echo "package: $out/$name.zip"
done
