#!/usr/bin/env bash
# Usage: package.sh [--version X.Y.Z] [--out DIR] [ARCH...]   (ARCH: i686, x86_64; default both)
# Makes the release in dist/ (or DIR): for each architecture a Windows Installer package,
# tamewin-VERSION-ARCH.msi, and a portable zip, tamewin-VERSION-ARCH.zip, whose folder holds
# the program, everything it needs beside it, and its licence and notices; then SHA256SUMS,
# the checksums of every package in the folder. The version is the build's own (the project()
# line of CMakeLists.txt); --version packs the same build under another one, as a test of
# upgrades needs.
#
# Signing: where TAMEWIN_SIGN_CERT and TAMEWIN_SIGN_KEY name a PEM certificate (with its chain)
# and its key, every program file is signed before it is packed, and each package after its
# last change; TAMEWIN_SIGN_TIMESTAMP names an RFC 3161 time-stamp server to countersign
# with. Without them the release is unsigned, and one line says so.
#
# The unsigned zips are the same byte for byte wherever and whenever the commit is built:
# their files carry the commit's time (SOURCE_DATE_EPOCH, unless given) and lie in a fixed
# order (scripts/reproduce.sh checks it).
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

cert=${TAMEWIN_SIGN_CERT:-} key=${TAMEWIN_SIGN_KEY:-}
if [ -n "$cert$key" ] && { [ ! -r "$cert" ] || [ ! -r "$key" ]; }; then
  echo "package: TAMEWIN_SIGN_CERT and TAMEWIN_SIGN_KEY must both name readable files" >&2
  exit 2
fi
maker_page=$(sed -n 's/.*kMakerWebAddress\[\] = "\([^"]*\)".*/\1/p' "$root/src/ui/Maker.h")
# sign FILE: signs FILE in place with SHA-256, the product's name and the maker's page.
sign() {
  local args=(sign -certs "$cert" -key "$key" -h sha256 -n "IE Tamewin" -i "$maker_page")
  [ -z "${TAMEWIN_SIGN_TIMESTAMP:-}" ] || args+=(-ts "$TAMEWIN_SIGN_TIMESTAMP")
  osslsigncode "${args[@]}" -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "${archs[@]}"
mkdir -p "$out"
out=$(cd "$out" && pwd)  # the tools below run in other folders
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH
upgrade_code=$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' "$root/packaging/tamewin.wxs")
[ -n "$cert" ] || echo "package: unsigned (TAMEWIN_SIGN_CERT and TAMEWIN_SIGN_KEY are not set)"
# The licence and the notices, once for every package, in the system's line ends.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed 's/$/\r/' "$root/LICENSE" > "$work/LICENSE"
bash "$root/scripts/notices.sh" | sed 's/$/\r/' > "$work/THIRD-PARTY-NOTICES"

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

  # The files as they ship, side by side in one folder: the program files (signed here, so
  # that the package and the zip hold the signed ones), the licence, the notices and the
  # README.
  name="tamewin-$v-$arch"
  stage="$work/$arch"
  files="$stage/$name"
  mkdir -p "$files"
  cp "$bin"/{tamewin.exe,tamehook.dll,tamehookhost$other.exe,tamehook$other.dll,tametrace.exe,tameremove.exe} \
     "$root/README.md" "$work/LICENSE" "$work/THIRD-PARTY-NOTICES" "$files/"
  [ -z "$cert" ] || for f in "$files"/*.exe "$files"/*.dll; do sign "$f"; done
  touch -d "@$SOURCE_DATE_EPOCH" "$files"/*

  msi="$out/$name.msi"
  rm -f "$msi"
  # wixl takes the files' paths only relative to the working folder.
  (cd "$stage" && cp "$bin/generated/program.ico" . &&
   wixl -a "$msiarch" -o "$msi" -D Version="$v" -D Win64="$win64" -D Other="$other" \
     -D ProgramFilesFolder="$pf" -D BinDir="$name" -D IconFile=program.ico \
     -D MakerPage="$maker_page" "$root/packaging/tamewin.wxs")
  # What wixl cannot say. The logon feature's condition (see the .wxs), with STARTATLOGON
  # among the properties that pass to an elevated install. A package of the same version
  # replaces the installed one too (so a rebuilt package never installs beside it): the
  # upgrade row's maximum becomes inclusive (512, VersionMaxInclusive). Without migrating the
  # old package's feature states (wixl's 1, msidbUpgradeAttributesMigrateFeatures), which
  # Windows would give the logon feature whatever its condition says: the condition alone
  # decides, so that STARTATLOGON=0 on an upgrade takes the logon start away.
  msibuild "$msi" -q "CREATE TABLE \`Condition\` (\`Feature_\` CHAR(38) NOT NULL, \`Level\` SHORT NOT NULL, \`Condition\` CHAR(255) PRIMARY KEY \`Feature_\`, \`Level\`)"
  msibuild "$msi" -q "INSERT INTO \`Condition\` (\`Feature_\`, \`Level\`, \`Condition\`) VALUES ('Logon', 1, 'STARTATLOGON=\"1\" OR (LOGONENTRY AND STARTATLOGON<>\"0\")')"
  msibuild "$msi" -q "UPDATE \`Property\` SET \`Value\` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;STARTATLOGON' WHERE \`Property\` = 'SecureCustomProperties'"
  msibuild "$msi" -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
  msibuild "$msi" -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('{$upgrade_code}', '$v', 512, 'WIX_UPGRADE_DETECTED')"
  [ -z "$cert" ] || sign "$msi"

  # The portable copy: the folder, its entries in name order, each with the commit's time.
  rm -f "$out/$name.zip"
  (cd "$stage" && python3 - "$out/$name.zip" "$name" <<'PY'
import os, sys, time, zipfile
zip_path, folder = sys.argv[1], sys.argv[2]
stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
with zipfile.ZipFile(zip_path, "w") as z:
    info = zipfile.ZipInfo(folder + "/", stamp)
    info.external_attr = 0o40755 << 16
    z.writestr(info, b"")
    for name in sorted(os.listdir(folder)):
        info = zipfile.ZipInfo(f"{folder}/{name}", stamp)
        info.external_attr = 0o100644 << 16
        with open(f"{folder}/{name}", "rb") as f:
            z.writestr(info, f.read(), zipfile.ZIP_DEFLATED)
PY
  )
  echo "package: $msi"
  echo "package: $out/$name.zip"
done

# The checksums, in the form sha256sum -c reads, of every package in the folder.
(cd "$out" && sha256sum -- tamewin-*.msi tamewin-*.zip > SHA256SUMS)
echo "package: $out/SHA256SUMS"
