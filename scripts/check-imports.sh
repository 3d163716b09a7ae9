#!/usr/bin/env bash
# Fails when a Windows executable imports a MinGW runtime DLL: the program
# must run on a bare Windows with nothing installed beside it.
set -euo pipefail
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
rc=0
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  echo "$exe imports: $(echo $dlls)"
  if echo "$dlls" | grep -qiE 'libstdc|libgcc|libwinpthread|msys|cygwin'; then
    echo "  imports a MinGW runtime DLL" >&2
    rc=1
  fi
done
exit $rc
