#!/usr/bin/env bash
# Prints figures of the database sender under Wine (qm487-bench-database):
# the cost of a push on the window's thread as hundreds of thousands of points
# wait, the memory a waiting point takes, the points per second delivered to
# a real InfluxDB, one request's time and the time from a push to the point
# being queryable. The InfluxDB is a private influxd on a loopback port with
# its data in a temporary folder, removed at the end.
# Builds nothing: needs scripts/build.sh windows first. Judges nothing.
#   measure-database.sh [WINDOWS_BUILD_DIR] [QUEUED]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/windows}" && pwd)
queued=${2:-500000}
bench=$build/bench/qm487-bench-database.exe
server=$here/../tests/database/influx_server.sh
. "$here/bench-server.sh"

"$server" start "$data" qm487 >/dev/null
port=$("$server" port "$data")
echo "measure-database: influxd $(influxd version 2>/dev/null | head -n 1) on 127.0.0.1:$port; load $(cut -d' ' -f1-3 /proc/loadavg)"
"$here/wine-run.sh" --state "$state" "$bench" "http://127.0.0.1:$port" "$queued"
