#!/usr/bin/env bash
# What a Windows user gets, tried under Wine in a prefix of its own (made
# afresh each run, never the test bench's):
#  - scripts/package.sh makes the zip and the MSI from this build, twice:
#    the same zip bytes and MSI tables both times; and a "newer" MSI; the
#    programs in them are stripped; a copy of the tree in another folder,
#    built there, gives the same zip bytes;
#  - the zip holds the expected files, and QM487.exe unpacked from it keeps
#    its settings beside itself and loads the system's DLLs from the system
#    folder, never files of their names beside it or in the current folder;
#  - msiexec /i /qn installs: files, Start-menu shortcuts, registry values,
#    the entry in the list of installed programs, the .kvf association;
#  - QM487.exe started from its shortcut shows its window and writes its
#    settings into %APPDATA%\QM487, nothing into Program Files;
#  - a .kvf opened through the shell opens in Kreslo;
#  - the newer MSI replaces the installed one, the older one is then refused;
#  - msiexec /x /qn removes all it installed and keeps the user's settings;
#    of the user's Run values it removes those that start the installed
#    copy and keeps another copy's of the same profile; an uninstall that
#    fails after removing them gives them back.
# Prints the sizes and the install, upgrade and uninstall times.
#   install_test.sh WINDOWS_BUILD_DIR PROBE_EXE WATCH_EXE PLANTED_DLL
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
probe_exe=$2
watch_exe=$3
planted_dll=$4
work=$build/package-test
state=$work/wine

fail() { echo "install_test: FAIL: $*" >&2; exit 1; }
t0=$(date +%s.%N)
step() { echo "== $* (at $(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", b - a }') s)"; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# Bounded waits only: a Wine that hangs fails the test instead.
W() { timeout 120 "$QM487_WINE" "$@" </dev/null; }
probe() { W "$probe_exe" "$@"; }
elapsed() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }
# reg_read KEY...: reads the keys at once; reg KEY\NAME: a value read,
# reg KEY: "absent" for a key that is not there.
reg_read() { probe reg "$@" | tr -d '\r' >"$work/reg.txt" || fail "cannot read the registry"; }
reg() { K="$1=" awk 'index($0, ENVIRON["K"]) == 1 { print substr($0, length(ENVIRON["K"]) + 1); exit }' "$work/reg.txt"; }

if [ -f "$state/display" ]; then "$src/scripts/wine-env.sh" stop "$state" >/dev/null || true; fi
rm -rf "$work"
mkdir -p "$work"
cleanup() { "$src/scripts/wine-env.sh" stop "$state" >/dev/null 2>&1 || true; }
trap cleanup EXIT

# Wine makes the prefix while the packages are made.
QM487_X_DISPLAY= "$src/scripts/wine-env.sh" start "$state" >"$work/wine-env.log" 2>&1 &
env_pid=$!

# --- the packages -----------------------------------------------------------
step "packaging"
"$src/scripts/package.sh" --from "$build" --out "$work/dist"
"$src/scripts/package.sh" --from "$build" --out "$work/again" >/dev/null
zip=$(ls "$work"/dist/QM487-*-win64.zip)
msi=$(ls "$work"/dist/QM487-*-win64.msi)
version=$(basename "$zip" | sed 's/^QM487-\(.*\)-win64.zip$/\1/')
[[ $version =~ ^[0-9]+\.[0-9][0-9]$ ]] || fail "odd version $version in $zip"
newer=$(awk -v v="$version" 'BEGIN { printf "%.2f", v + 0.01 }')
"$src/scripts/package.sh" --from "$build" --out "$work/newer" --version "$newer" >/dev/null
newer_msi=$work/newer/QM487-$newer-win64.msi
(cd "$work/dist" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not match"
cmp "$zip" "$work/again/$(basename "$zip")" || fail "two packagings gave different zips"
# Only the summary's creation and save times may differ.
tables=$(msidiff "$msi" "$work/again/$(basename "$msi")" 2>/dev/null | grep '^[-+][^-+]' | grep -v $'^[-+]1[23]\t') || true
[ -z "$tables" ] || fail "two packagings gave MSIs whose tables differ: $tables"
step "the same zip from another folder"
# The shipped programs alone. Built in build/ of the copy as the tree's own
# build usually is, the objects ccache holds from that build are found.
copy=$work/elsewhere/tree
mkdir -p "$copy"
git -C "$src" ls-files -z --cached --others --exclude-standard |
  tar -C "$src" --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -C "$copy" -xf -
started=$(date +%s.%N)
"$copy/scripts/build.sh" windows "$copy/build" -DBUILD_TESTING=OFF -DQM487_BENCHMARKS=OFF \
  >"$work/elsewhere/build.log" 2>&1 || { tail -20 "$work/elsewhere/build.log"; fail "the copy did not build"; }
echo "the copy built in $(elapsed "$started") s"
"$src/scripts/package.sh" --from "$copy/build/windows" --out "$work/elsewhere/dist" >/dev/null
cmp "$zip" "$work/elsewhere/dist/$(basename "$zip")" || fail "a build in another folder gave a different zip"
symbols=$work/dist/QM487-$version-symbols.zip
[ "$(unzip -Z1 "$symbols" | LC_ALL=C sort)" = "$(unzip -Z1 "$zip" | grep '\.exe$' | LC_ALL=C sort)" ] ||
  fail "the symbols zip does not hold every program"
mkdir -p "$work/tables"
msidump -t -d "$work/tables" "$msi" >/dev/null 2>&1
grep -q "już zainstalowana nowsza wersja" "$work"/tables/LaunchCondition.idt || fail "the MSI has no Polish downgrade message"

step "the zip"
expected=$( {
  printf 'QM487/%s\n' CZYTAJ.txt README.txt QM487.exe Kreslo.exe QM487.chm
  (cd "$build/app/help" && ls) | sed 's|^|QM487/help/|'
  printf 'QM487/tools/%s\n' qm487-dde.exe qm487-kvf.exe qm487-decode.exe qm487-sim.exe qm487-watch.exe
  [ ! -f "$src/LICENSE" ] || echo QM487/LICENSE.txt
} | LC_ALL=C sort)
listed=$(unzip -Z1 "$zip" | LC_ALL=C sort)
[ "$listed" = "$expected" ] || fail "the zip holds $(echo $listed), not $(echo $expected)"
unzip -q "$zip" -d "$work/unzipped"
head -c 3 "$work/unzipped/QM487/CZYTAJ.txt" | cmp -s - <(printf '\xEF\xBB\xBF') || fail "CZYTAJ.txt has no byte order mark"
grep -q $'\r$' "$work/unzipped/QM487/CZYTAJ.txt" || fail "CZYTAJ.txt has no CR LF line ends"
for exe in "$work"/unzipped/QM487/*.exe "$work"/unzipped/QM487/tools/*.exe; do
  stamp=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^Time\/Date\s*//p')
  [[ $stamp == *" 1970" ]] || fail "$exe carries its link time ($stamp)"
  ! x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug_' || fail "$exe is not stripped"
done
echo "zip $(stat -c %s "$zip") bytes, MSI $(stat -c %s "$msi") bytes"

# --- a prefix of our own ----------------------------------------------------
step "a fresh Wine prefix"
wait "$env_pid" || { cat "$work/wine-env.log"; fail "no Wine environment"; }
eval "$("$src/scripts/wine-env.sh" env "$state")"
drive=$WINEPREFIX/drive_c
programs="$drive/Program Files/QM487"
appdata=$(W cmd /c echo %APPDATA% | tr -d '\r')
appdata=$drive/${appdata#C:\\}
appdata=${appdata//\\//}
# All users' Start menu on Windows; Wine's msiexec puts a per-machine
# package's shortcuts into the installing user's.
menus=("$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/QM487" "$appdata/Microsoft/Windows/Start Menu/Programs/QM487")
appdata=$appdata/QM487

# The installed copy below has its first start; this one starts with the
# port chosen and fills in the rest of its settings beside itself when it
# closes. Unpacked into a folder that also holds DLLs named like system ones
# (and started from another such folder), it shows the promotion window
# (msftedit.dll) and sends a reading to a database (winhttp.dll): those
# must come from the system folder, and the planted ones, which leave a
# file "<name>.loaded" when loaded, must not run.
step "the portable copy"
mkdir -p "$drive/portable" "$drive/elsewhere"
unzip -q "$zip" -d "$drive/portable"
printf '[GENERAL]\r\nPORT_NR=11\r\nSHOW_ADV=1\r\n[DATABASE]\r\nDB_ENABLED=1\r\nDB_URL=http://127.0.0.1:9\r\n' \
  >"$drive/portable/QM487/qm487cfg.ini"
for dll in winhttp.dll msftedit.dll crypt32.dll comctl32.dll hhctrl.ocx; do
  cp "$planted_dll" "$drive/portable/QM487/$dll"
  cp "$planted_dll" "$drive/elsewhere/$dll"
done
planted_ran() { find "$drive/portable" "$drive/elsewhere" -name '*.loaded' -printf '%P '; }
(cd "$drive/elsewhere" && WINEDEBUG=+loaddll "$QM487_WINE" 'C:\portable\QM487\QM487.exe' </dev/null >"$work/portable.log" 2>&1 &)
probe close "ORVEL - promocja NIMBO" 90 || fail "no promotion window of the portable QM487; planted DLLs loaded: $(planted_ran)"
loaded() { grep -a 'trace:loaddll:.*Loaded' "$work/portable.log" | grep -ai "\\\\$1\"" | sed 's/.*Loaded L"\([^"]*\)".*/\1/'; }
for _ in $(seq 60); do
  [ -z "$(loaded winhttp.dll)" ] || break
  printf '\x40\x70\x73\x34\x31\x32\x73\x70\x70\x32\x73\x34\x0D' >"$state/tty/com12"
  sleep 1
done
W "$watch_exe" --close --wait 30 >/dev/null || fail "the portable QM487 did not close"
for dll in winhttp.dll msftedit.dll; do
  from=$(loaded $dll | sort -u)
  [ "$from" = "C:\\\\windows\\\\system32\\\\$dll" ] || fail "$dll loaded from ${from:-nowhere}, not the system folder"
done
[ -z "$(planted_ran)" ] || fail "planted DLLs were loaded: $(planted_ran)"
grep -q '^\[TEMP1\]' "$drive/portable/QM487/qm487cfg.ini" || fail "the portable QM487 kept no settings beside itself"
[ ! -e "$appdata" ] || fail "the portable copy wrote into $appdata"

# --- install ----------------------------------------------------------------
step "install $version"
started=$(date +%s.%N)
W msiexec /i "$(winpath "$msi")" /qn || fail "msiexec /i failed"
echo "install: $(elapsed "$started") s"
(cd "$work/unzipped/QM487" && find . -type f ! -name '*.txt' | LC_ALL=C sort) >"$work/shipped"
(cd "$programs" && find . -type f | LC_ALL=C sort) >"$work/installed"
diff "$work/shipped" "$work/installed" || fail "Program Files\\QM487 holds other files than the zip"
cmp "$programs/QM487.exe" "$work/unzipped/QM487/QM487.exe" || fail "the installed QM487.exe differs"
menu=
for m in "${menus[@]}"; do [ ! -d "$m" ] || menu=$m; done
[ -n "$menu" ] || fail "no Start-menu folder QM487"
echo "Start menu: ${menu#$drive/}"
for lnk in QM487.lnk Kreslo.lnk "Pomoc programu QM487.lnk"; do
  [ -f "$menu/$lnk" ] || fail "no Start-menu shortcut $lnk"
done
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
reg_read 'HKLM\Software\QM487' 'HKCR\.kvf' 'HKCR\QM487.kvf\shell\open\command'
[ "$(reg 'HKLM\Software\QM487\InstallDir')" = 'C:\Program Files\QM487\' ] || fail "InstallDir not recorded"
code=$(reg 'HKLM\Software\QM487\ProductCode')
[[ $code =~ ^\{[0-9A-F-]{36}\}$ ]] || fail "no product code recorded: $code"
[ "$(reg 'HKCR\.kvf\(Default)')" = QM487.kvf ] || fail ".kvf is not associated"
[ "$(reg 'HKCR\QM487.kvf\shell\open\command\(Default)')" = '"C:\Program Files\QM487\Kreslo.exe" "%1"' ] ||
  fail ".kvf does not open in Kreslo"
arp=$uninstall_key\\$code
reg_read "$arp"
[ "$(reg "$arp\\DisplayName")" = QM487 ] || fail "no entry in the list of installed programs"
[ "$(reg "$arp\\Publisher")" = "ORVEL sp. z o.o." ] || fail "no publisher"
[ "$(reg "$arp\\DisplayIcon")" = 'C:\Program Files\QM487\QM487.exe,0' ] || fail "no icon in the list of installed programs"
[[ $(reg "$arp\\Size") =~ ^[1-9][0-9]+$ ]] || fail "no size in the list of installed programs"
[ "$(reg "$arp\\DisplayVersion")" = "${version%.*}.${version: -2:1}.${version: -1}" ] || fail "wrong DisplayVersion"

step "the installed QM487, started from its shortcut"
"$QM487_WINE" start /unix "$menu/QM487.lnk" </dev/null >"$work/installed.log" 2>&1
# Its first start: the promotion window, then the port dialog, then "Zamknij".
probe window QM487 90 >/dev/null || fail "no QM487 window"
probe close "ORVEL - promocja NIMBO" 60 || fail "no promotion window to close"
probe window Porty 90 >/dev/null || fail "no port dialog"
import -window root "$work/installed.png"
probe close Porty 30 || fail "the port dialog did not close"
W "$watch_exe" --close --wait 30 >/dev/null || fail "QM487 did not close"
grep -q '^\[GENERAL\]' "$appdata/qm487cfg.ini" || fail "no settings in $appdata"
(cd "$programs" && find . -type f | LC_ALL=C sort) | diff "$work/installed" - || fail "QM487 wrote into Program Files"

step "a .kvf opened through the shell"
mkdir -p "$drive/logs"
probe kvf 'C:\logs\pomiar.kvf' 30 || fail "could not write a binary log"
"$QM487_WINE" start 'C:\logs\pomiar.kvf' </dev/null >>"$work/installed.log" 2>&1
title=$(probe window "pomiar.kvf" 90) || fail "Kreslo did not open pomiar.kvf"
import -window root "$work/kreslo.png"
echo "window: $title"
probe close "pomiar.kvf" 30 || fail "Kreslo did not close"

# --- upgrade and downgrade --------------------------------------------------
step "upgrade to $newer"
started=$(date +%s.%N)
W msiexec /i "$(winpath "$newer_msi")" /qn || fail "the upgrade failed"
echo "upgrade: $(elapsed "$started") s"
reg_read 'HKLM\Software\QM487' "$arp"
new_code=$(reg 'HKLM\Software\QM487\ProductCode')
[ "$new_code" != "$code" ] || fail "the newer package has the same product code"
[ "$(reg "$arp")" = absent ] || fail "the older version is still listed"
[ "$(probe products QM487 | tr -d '\r')" = "$new_code" ] || fail "not one product named QM487: $(probe products QM487)"
[ -f "$programs/QM487.exe" ] && [ -f "$menu/QM487.lnk" ] || fail "the upgrade lost files"
grep -q '^\[GENERAL\]' "$appdata/qm487cfg.ini" || fail "the upgrade lost the settings"

step "the older package is refused"
if W msiexec /i "$(winpath "$msi")" /qn; then fail "the older package installed over the newer"; fi
reg_read 'HKLM\Software\QM487'
[ "$(reg 'HKLM\Software\QM487\ProductCode')" = "$new_code" ] || fail "the downgrade changed the installed product"

# --- uninstall --------------------------------------------------------------
step "uninstall"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
installed_run='"C:\Program Files\QM487\QM487.exe" /profile Piec /autostart'
portable_run='"C:\portable\QM487\QM487.exe" /profile Piec /autostart'
W reg add "$run_key" /v "QM487 Piec" /d "$installed_run" /f >/dev/null || fail "cannot write a Run value"
W reg add "$run_key" /v "QM487 Piec (0123ABCD)" /d "$portable_run" /f >/dev/null || fail "cannot write a Run value"
reg_read "$run_key"
[ "$(reg "$run_key\\QM487 Piec")" = "$installed_run" ] || fail "the Run value reads $(reg "$run_key\\QM487 Piec")"
kept='HKCU\Software\QM487 Run values being uninstalled'
started=$(date +%s.%N)
W msiexec /x "$new_code" /qn || fail "msiexec /x failed"
echo "uninstall: $(elapsed "$started") s"
[ ! -e "$programs" ] || fail "left behind: $(cd "$programs" && find . | tr '\n' ' ')"
for m in "${menus[@]}"; do [ ! -e "$m" ] || fail "the Start-menu folder is left: $m"; done
keys=('HKLM\Software\QM487' 'HKCR\.kvf' 'HKCR\QM487.kvf' "$uninstall_key\\$new_code" "$kept")
reg_read "${keys[@]}"
for key in "${keys[@]}"; do [ "$(reg "$key")" = absent ] || fail "left in the registry: $key"; done
grep -q '^\[GENERAL\]' "$appdata/qm487cfg.ini" || fail "the uninstall removed the user's settings"
reg_read "$run_key"
[ -z "$(reg "$run_key\\QM487 Piec")" ] || fail "the installed copy's Run value is left"
[ "$(reg "$run_key\\QM487 Piec (0123ABCD)")" = "$portable_run" ] || fail "the uninstall removed the portable copy's Run value"
# One that fails after the Run values went gives them back: installed
# again, the package as the system keeps it gets an action that fails just
# after RemoveRunValues. Last, as Wine's rollback leaves the product
# unregistered.
step "an uninstall that fails"
W msiexec /i "$(winpath "$newer_msi")" /qn || fail "the second install failed"
W reg add "$run_key" /v "QM487 Piec" /d "$installed_run" /f >/dev/null || fail "cannot write a Run value"
# The package Windows keeps, read whole before it is searched: with
# pipefail, grep -q leaving early could fail msiinfo on a closed pipe. Wine's
# installer service may still be copying it when msiexec returns: a bounded
# wait.
cached=
for _ in $(seq 100); do
  for f in "$drive"/windows/Installer/*.msi; do
    props=$(msiinfo export "$f" Property 2>/dev/null) || continue
    if grep -q "^ProductCode"$'\t'"$new_code" <<<"$props"; then cached=$f; fi
  done
  [ -n "$cached" ] && break
  sleep 0.2
done
[ -n "$cached" ] || fail "no installed package of $new_code in windows\\Installer"
msibuild "$cached" -q "INSERT INTO CustomAction (Action, Type, Source, Target) \
VALUES ('FailHere', 1058, 'System64Folder', '\"[System64Folder]reg.exe\" query \"$kept\\none\"')" \
  -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('FailHere', 'REMOVE~=\"ALL\"', 3495)"
if W msiexec /x "$new_code" /qn; then fail "the uninstall meant to fail did not"; fi
reg_read "$run_key" "$kept"
[ "$(reg "$run_key\\QM487 Piec")" = "$installed_run" ] || fail "a failed uninstall lost the Run value"
[ "$(reg "$kept")" = absent ] || fail "a failed uninstall left $kept"
step "passed"
