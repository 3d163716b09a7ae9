#!/usr/bin/env bash
# Prints figures of the MQTT publisher under Wine (qm487-bench-mqtt): the
# cost of handing a reading on, on the window's thread, the messages per
# second a local Mosquitto acknowledges (QoS 1), and a stop's time. The
# broker is a private mosquitto on a loopback port with its files in a
# temporary folder, removed at the end.
# Builds nothing: needs scripts/build.sh windows first. Judges nothing.
#   measure-mqtt.sh [WINDOWS_BUILD_DIR] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/windows}" && pwd)
seconds=${2:-5}
bench=$build/bench/qm487-bench-mqtt.exe
[ -f "$bench" ] || { echo "measure-mqtt: $bench is not built" >&2; exit 1; }
state=$build/wine
server=$here/../tests/mqtt/mosquitto_server.sh
data=$(mktemp -d)

started=
if [ ! -f "$state/display" ]; then
  "$here/wine-env.sh" start "$state" >&2
  started=1
fi
cleanup() {
  "$server" clean "$data" >/dev/null 2>&1 || true
  rm -rf "$data"
  if [ -n "$started" ]; then "$here/wine-env.sh" stop "$state" >&2; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$server" start "$data" plain >/dev/null
port=$(cat "$data/port")
echo "measure-mqtt: $(mosquitto -h 2>/dev/null | head -n 1) on 127.0.0.1:$port; load $(cut -d' ' -f1-3 /proc/loadavg)"
"$here/wine-run.sh" --state "$state" "$bench" "mqtt://127.0.0.1:$port" "$seconds"
