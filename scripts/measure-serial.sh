#!/usr/bin/env bash
# Prints the serial driver's figures, measured under Wine on the bench's pair
# COM11 <-> COM12: CPU of an idle open port (the program's and the
# wineserver's) and the latency of single bytes. Builds nothing.
#   measure-serial.sh [WINDOWS_BUILD_DIR] [IDLE_SECONDS] [SAMPLES]
# WINDOWS_BUILD_DIR defaults to build/windows (scripts/build.sh windows).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/windows}
exe=$build/bench/qm487-bench-serial.exe
[ -f "$exe" ] || { echo "measure-serial: $exe is not built" >&2; exit 1; }
state=$(cd "$build" && pwd)/wine

started=
if [ ! -f "$state/display" ]; then
  "$here/wine-env.sh" start "$state" >&2
  started=1
fi
trap '[ -n "$started" ] && "$here/wine-env.sh" stop "$state" >&2' EXIT

# The wineserver of this prefix, for its CPU time.
server=
for d in /proc/[0-9]*; do
  case "$(cat "$d/comm" 2>/dev/null)" in wineserver*) ;; *) continue ;; esac
  if { tr '\0' '\n' <"$d/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$state/prefix"; then server=${d#/proc/}; fi
done

echo "serial driver figures (Wine $(wine --version 2>/dev/null || echo '?'), $(nproc) CPUs)"
QM487_WINESERVER_PID=$server QM487_CLK_TCK=$(getconf CLK_TCK) \
  "$here/wine-run.sh" --state "$state" "$exe" "${2:-10}" "${3:-1000}"
