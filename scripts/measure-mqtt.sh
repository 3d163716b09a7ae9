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
server=$here/../tests/mqtt/mosquitto_server.sh
. "$here/bench-server.sh"

"$server" start "$data" plain >/dev/null
port=$(cat "$data/port")
echo "measure-mqtt: $(mosquitto -h 2>/dev/null | head -n 1) on 127.0.0.1:$port; load $(cut -d' ' -f1-3 /proc/loadavg)"
"$here/wine-run.sh" --state "$state" "$bench" "mqtt://127.0.0.1:$port" "$seconds"
