#!/usr/bin/env bash
# Builds the Windows programs and writes what a Windows user downloads:
#   dist/QM487-<version>-win64.zip   the portable copy (a QM487 folder)
#   dist/QM487-<version>-win64.msi   the installer (wixl, packaging/qm487.wxs)
#   dist/QM487-<version>-symbols.zip the programs before stripping, for crash dumps
#   dist/SHA256SUMS                  the sums of the three
#
#   package.sh [--out DIR] [--from WINDOWS_BUILD_DIR] [--version X.YZ]
#
# The version is res/version.h's. --version names another one for the
# package alone (the install tests make a "newer" package that way); the
# programs inside still carry their own. --from packages a Windows build as
# it is instead of building build/windows (or $QM487_BUILD_ROOT/windows).
# Two runs over the same commit give the same zip, byte for byte, from
# whatever folder it was built in, and MSIs whose tables agree.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=${QM487_BUILD_ROOT:-$src/build}
out=$src/dist
win=
version=
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=$2; shift 2 ;;
    --from) win=$(cd "$2" && pwd); shift 2 ;;
    --version) version=$2; shift 2 ;;
    *) sed -n '2,15p' "$0" >&2; exit 2 ;;
  esac
done

if [ -z "$win" ]; then
  "$src/scripts/install-deps.sh"
  "$src/scripts/build.sh" windows "$root"
  win=$root/windows
else
  # A build is there: only the packaging tools may be missing.
  for tool in wixl msibuild zip; do
    command -v "$tool" >/dev/null || { "$src/scripts/install-deps.sh"; break; }
  done
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)

# 3, 0, 5 in res/version.h is "3.05", and 3.0.5 for Windows Installer.
number() { sed -n "s/^#define QM487_VERSION_$1 \\([0-9]*\\)\$/\\1/p" "$src/res/version.h"; }
if [ -z "$version" ]; then
  version=$(number MAJOR).$(number MINOR)$(number PATCH)
fi
[[ $version =~ ^([0-9]+)\.([0-9])([0-9])$ ]] || { echo "package: version $version is not like 3.05" >&2; exit 2; }
msi_version=${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.${BASH_REMATCH[3]}
name=QM487-$version-win64

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/QM487
mkdir -p "$stage/help" "$stage/tools"

cp "$win/app/QM487.exe" "$win/app/Kreslo.exe" "$win/app/QM487.chm" "$stage/"
cp "$win"/app/help/* "$stage/help/"
for t in qm487-dde/qm487-dde qm487-kvf/qm487-kvf qm487-decode qm487-sim/qm487-sim qm487-watch; do
  cp "$win/tools/$t.exe" "$stage/tools/"
done
# The programs go out stripped: their debug information (mostly the static
# runtime's) would double their size and carries the folder they were built
# in. As built they make the symbols zip, which turns a crash's addresses
# into functions and lines (addr2line -e QM487.exe ADDRESS). Stripping
# stamps the time unless told the epoch, which the link left at 0.
symbols=$work/symbols/QM487
for exe in $(cd "$stage" && find . -name '*.exe' | LC_ALL=C sort); do
  mkdir -p "$(dirname "$symbols/$exe")"
  cp "$stage/$exe" "$symbols/$exe"
  SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip --strip-all "$stage/$exe"
done
# Notepad shows UTF-8 with a byte order mark correctly on any Windows.
for f in CZYTAJ.txt README.txt; do
  { printf '\xEF\xBB\xBF'; sed 's/$/\r/' "$src/packaging/$f"; } >"$stage/$f"
done
[ ! -f "$src/LICENSE" ] || sed 's/$/\r/' "$src/LICENSE" >"$stage/LICENSE.txt"

# Fixed modes and times (the commit's) make the same commit give the same zip.
epoch=$(git -C "$src" log -1 --format=%ct 2>/dev/null || echo 946684800)
find "$stage" "$symbols" -type d -exec chmod 755 {} +
find "$stage" "$symbols" -type f -exec chmod 644 {} +
find "$stage" "$symbols" -exec touch -h -d "@$epoch" {} +

rm -f "$out/$name.zip" "$out/$name.msi" "$out/QM487-$version-symbols.zip"
(cd "$work" && find QM487 -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q -9 "$out/$name.zip" -@)
(cd "$work/symbols" && find QM487 -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q -9 "$out/QM487-$version-symbols.zip" -@)

# A GUID named by a text: the same text gives the same GUID.
guid() {
  local h
  h=$(printf '%s' "$1" | sha1sum | cut -c1-32 | tr a-f A-F)
  printf '%s-%s-5%s-%X%s-%s\n' "${h:0:8}" "${h:8:4}" "${h:13:3}" $((0x${h:16:1} & 3 | 8)) "${h:17:3}" "${h:20:12}"
}
product_code=$(guid "QM487 product $msi_version")
package_code=$(guid "QM487 package $msi_version $(cd "$stage" && find . -type f | LC_ALL=C sort | xargs sha256sum | sha256sum)")

# help\ holds whatever pages the build ships.
{
  echo '<?xml version="1.0" encoding="utf-8"?>'
  echo '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Fragment>'
  echo '  <DirectoryRef Id="HELPDIR">'
  for f in $(cd "$stage/help" && ls | LC_ALL=C sort); do
    id=help_${f//[^A-Za-z0-9_]/_}
    echo "    <Component Id=\"$id\" Guid=\"*\" Win64=\"yes\"><File Id=\"$id\" Name=\"$f\" Source=\"\$(var.Stage)/help/$f\" KeyPath=\"yes\"/></Component>"
  done
  echo '  </DirectoryRef>'
  echo '  <ComponentGroup Id="HelpPages">'
  for f in $(cd "$stage/help" && ls | LC_ALL=C sort); do echo "    <ComponentRef Id=\"help_${f//[^A-Za-z0-9_]/_}\"/>"; done
  echo '  </ComponentGroup>'
  echo '</Fragment></Wix>'
} >"$work/help.wxs"

# wixl takes sources by paths relative to the folder it runs in.
cp "$src/packaging/qm487.wxs" "$src/res/qm487.ico" "$work/"
(cd "$work" && wixl -a x64 -o "$out/$name.msi" \
  -D Version="$msi_version" -D ProductCode="$product_code" -D PackageCode="$package_code" \
  -D Stage=QM487 -D Icon=qm487.ico -D SizeKiB="$(du -sk --apparent-size "$stage" | cut -f1)" qm487.wxs help.wxs)
# Polish texts need Windows-1250, which wixl cannot write: the database
# gets that code page, then the text.
downgrade_text="Na tym komputerze jest już zainstalowana nowsza wersja programu QM487. \
Aby zainstalować tę wersję, najpierw odinstaluj nowszą."
printf '\r\n\r\n1250\t_ForceCodepage\r\n' >"$work/_ForceCodepage.idt"
msibuild "$out/$name.msi" -i "$work/_ForceCodepage.idt"
msibuild "$out/$name.msi" -q "UPDATE LaunchCondition SET Description = '$downgrade_text' WHERE Condition = 'NOT WIX_DOWNGRADE_DETECTED'"
# An uninstall that fails after RemoveRunValues (qm487.wxs) has removed the
# user's Run values puts them back: the Run key is copied aside first,
# copied back by a rollback action and the copy dropped when the uninstall
# commits. All three run the system's own programs, as the user; wixl
# writes neither such actions nor rollback and commit ones, so they go in
# here. Type 34 (a program in a folder) + 64 (its exit code ignored) + 1024
# (deferred), + 256 rollback, + 512 commit.
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
kept='HKCU\Software\QM487 Run values being uninstalled'
cmd='"[System64Folder]cmd.exe" /c'
run_action() {  # NAME TYPE SEQUENCE COMMAND
  msibuild "$out/$name.msi" -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('$1', $2, 'System64Folder', '$4')"
  msibuild "$out/$name.msi" -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) \
VALUES ('$1', 'REMOVE~=\"ALL\" AND NOT UPGRADINGPRODUCTCODE', $3)"
}
run_action KeepRunValues 1122 3488 "$cmd reg delete \"$kept\" /f & reg copy \"$run\" \"$kept\" /f"
run_action RestoreRunValues 1378 3489 "$cmd reg copy \"$kept\" \"$run\" /f & reg delete \"$kept\" /f"
run_action DropKeptRunValues 1634 3491 "\"[System64Folder]reg.exe\" delete \"$kept\" /f"
# wixl picks a random package code and English as the package's language.
msibuild "$out/$name.msi" -s "QM487 - odczyt temperatur z miernika QM487" "ORVEL sp. z o.o." "x64;1045" "{$package_code}"

(cd "$out" && sha256sum "$name.zip" "$name.msi" "QM487-$version-symbols.zip" >SHA256SUMS)
ls -l "$out/$name.zip" "$out/$name.msi" "$out/QM487-$version-symbols.zip" | awk '{ print "package: " $NF ", " $5 " bytes" }'
