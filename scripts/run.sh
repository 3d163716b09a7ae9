#!/usr/bin/env bash
# The program's main job on this machine: builds the Windows programs and
# runs them under Wine, fed by the instrument simulator on a COM port pair
# (COM12 -> COM11), or by a real instrument on a serial device.
#
#   run.sh [--device /dev/ttyUSB0] [--seconds S]
#
# Until the main window lands, the receiving side is qm487-decode --port,
# which uses the program's serial driver and line decoder and prints every
# line it receives.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=${QM487_BUILD_ROOT:-$src/build}
device=
seconds=20
while [ $# -gt 0 ]; do
  case "$1" in
    --device) device=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

"$src/scripts/install-deps.sh"
"$src/scripts/build.sh" windows "$root" >"$root/windows.build.log" 2>&1 ||
  { tail -n 40 "$root/windows.build.log"; exit 1; }

state=$root/windows/wine
"$src/scripts/wine-env.sh" start "$state"
trap '"$src/scripts/wine-env.sh" stop "$state" >/dev/null' EXIT
bin=$root/windows
run() { "$src/scripts/wine-run.sh" --state "$state" "$@"; }

port=11
if [ -n "$device" ]; then
  [ -e "$device" ] || { echo "run.sh: no device $device" >&2; exit 2; }
  port=1
  ln -sfn "$device" "$state/prefix/dosdevices/com$port"
  echo "run.sh: $device is COM$port"
else
  echo "run.sh: simulated instrument on COM12, received on COM11"
  run "$bin/tools/qm487-sim/qm487-sim.exe" --port COM12 --duration $((seconds + 5)) \
      --ramp 1=18:25:0.1 --value-error 7 --bad-parity 40 >"$root/run-sim.log" 2>&1 &
  sim=$!
fi
run "$bin/tools/qm487-decode.exe" --port "$port" --seconds "$seconds" || true
[ -n "${sim:-}" ] && kill "$sim" 2>/dev/null; wait 2>/dev/null || true
