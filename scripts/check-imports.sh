#!/usr/bin/env bash
# Two checks of what things import.
#
#   check-imports.sh EXE...
#     Fails when a Windows executable imports a MinGW runtime DLL (the program
#     must run on a bare Windows with nothing installed beside it), or any DLL
#     that is not one of the system's known DLLs: the rest are looked for in
#     the program's folder first when imported directly, before the program
#     can say otherwise, so they are delay-loaded (framework/CMakeLists.txt).
#
#   check-imports.sh --sources [SOURCE_DIR]
#     Fails when an #include runs back up the house. Imports flow one way:
#     programs (app/, tools/, bench/, viewer/app/) -> subsystems (alarms/, serial/,
#     exchange/, recording/, ui/, viewer/, database/, mqtt/, installation/, secrets/,
#     framework/) -> portable core. A program never includes another
#     program's header: what two need lives below them (bench/ alone drives
#     the programs in-process, as tests do). A
#     subsystem may include its own folder, framework/, common/, res/ and
#     portable headers of any folder, never a program's header nor another
#     subsystem's Windows header. framework/ and secrets/ are the floor the
#     other subsystems stand on: they include only each other, res/ and the
#     core, not even a portable header of a subsystem above them (what a
#     subsystem and the floor both need lives on the floor or in the core).
#     instrument/ and config/ are core: they
#     include no Windows header at all. A header is a Windows header when it
#     includes a Windows system header, framework/, or another Windows header.
set -euo pipefail

check_sources() {
  cd "$1"
  find alarms app bench common config database mqtt notify exchange framework installation instrument recording res secrets \
    serial tools ui viewer \
    -type f \( -name '*.h' -o -name '*.cpp' \) | sort | xargs awk '
    function layer(f) {
      if (f ~ /^(app|tools|bench|viewer\/app)\//) return "program"
      if (f ~ /^(instrument|config|common)\//) return "core"
      return "subsystem"
    }
    function top(f) { sub(/\/.*/, "", f); return f }
    function program(f) { return f ~ /^viewer\/app\// ? "viewer/app" : top(f) }
    FNR == 1 { files[++n] = FILENAME }
    /^[ \t]*#[ \t]*include[ \t]*<(windows|ddeml|dde|commctrl|commdlg|shellapi|shlobj|htmlhelp|ole2|objbase|olectl|ocidl|psapi|setupapi|winioctl|process)\.h>/ {
      if (FILENAME != "common/win_types.h") sys[FILENAME] = 1
    }
    /^[ \t]*#[ \t]*include[ \t]*"/ {
      t = $0; sub(/^[^"]*"/, "", t); sub(/".*/, "", t)
      incs[FILENAME] = incs[FILENAME] " " t
    }
    END {
      # Windows headers: direct ones, then whatever includes one, until
      # nothing changes. common/win_types.h is the portable bridge.
      for (i = 1; i <= n; ++i) {
        f = files[i]
        if (f ~ /\.h$/ && (sys[f] || f ~ /^framework\//)) win[f] = 1
      }
      do {
        changed = 0
        for (i = 1; i <= n; ++i) {
          f = files[i]
          if (f !~ /\.h$/ || win[f] || f == "common/win_types.h") continue
          k = split(incs[f], list, " ")
          for (j = 1; j <= k; ++j) if (win[list[j]]) { win[f] = 1; changed = 1; break }
        }
      } while (changed)
      rc = 0
      for (i = 1; i <= n; ++i) {
        f = files[i]; l = layer(f)
        if (l == "program") {
          if (top(f) == "bench") continue
          k = split(incs[f], list, " ")
          for (j = 1; j <= k; ++j) {
            t = list[j]
            if (layer(t) == "program" && program(t) != program(f)) {
              print f " includes " t ": another program\x27s header" > "/dev/stderr"; rc = 1
            }
          }
          continue
        }
        floor = f ~ /^(framework|secrets)\//
        if (l == "core" && sys[f]) { print f ": the portable core includes a Windows header" > "/dev/stderr"; rc = 1 }
        k = split(incs[f], list, " ")
        for (j = 1; j <= k; ++j) {
          t = list[j]; d = top(t)
          if (layer(t) == "program") { print f " includes " t ": a program\x27s header, above it" > "/dev/stderr"; rc = 1; continue }
          if (floor && t ~ /\// && d !~ /^(framework|secrets|res|common|instrument|config)$/) {
            print f " includes " t ": a subsystem above the floor" > "/dev/stderr"; rc = 1; continue
          }
          if (!win[t]) continue  # portable headers are for everyone
          if (l == "core") { print f " includes " t ": the portable core includes a Windows header" > "/dev/stderr"; rc = 1 }
          else if (d != top(f) && d != "framework" && d != "common" && d != "res") {
            print f " includes " t ": another subsystem\x27s Windows header" > "/dev/stderr"; rc = 1
          }
        }
      }
      if (rc == 0) print "includes run one way (" n " files)"
      exit rc
    }'
}

if [ "${1:-}" = --sources ]; then
  check_sources "${2:-$(cd "$(dirname "$0")/.." && pwd)}"
  exit $?
fi

objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
rc=0
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  echo "$exe imports: $(echo $dlls)"
  if echo "$dlls" | grep -qiE 'libstdc|libgcc|libwinpthread|msys|cygwin'; then
    echo "  imports a MinGW runtime DLL" >&2
    rc=1
  fi
  # HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs of Windows 7 to 11.
  known='advapi32|clbcatq|combase|comdlg32|coml2|difxapi|gdi32|gdiplus|imagehlp|imm32|kernel32|msctf|msvcrt'
  known+='|normaliz|nsi|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shcore|shell32|shlwapi|user32|wldap32|ws2_32'
  planted=$(echo "$dlls" | grep -viE "^($known)\.dll$" || true)
  if [ -n "$planted" ]; then
    echo "  imports DLLs a file beside it could stand in for: $(echo $planted)" >&2
    rc=1
  fi
done
exit $rc
