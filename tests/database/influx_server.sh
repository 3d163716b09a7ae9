#!/usr/bin/env bash
# A private InfluxDB for the tests: influxd with a configuration of its own,
# listening on loopback only, its data in the folder given.
#   influx_server.sh start DIR [DB]   start (again, on the same port and data); create DB;
#                                     with DIR/admin (user and password, a line each, UTF-8)
#                                     authentication is on and that admin is made; with
#                                     DIR/max-body (bytes) larger requests get 413
#   influx_server.sh createdb DIR DB  create database DB
#   influx_server.sh stop DIR         stop it, keep the data
#   influx_server.sh clean DIR        stop it and empty DIR
#   influx_server.sh clean-all BASE   clean every DIR under BASE (after a crashed test)
#   influx_server.sh query DIR DB [Q] run query Q (or DIR/query.in); one line per row,
#                                     values blank-separated, also in DIR/query.out
#   influx_server.sh port DIR         the HTTP port
# Every wait is bounded; a command run from a Windows test under Wine writes
# its exit status to DIR/<command>.done, as Wine cannot wait for a Unix process.
set -uo pipefail
cmd=$1
dir=$2
mkdir -p "$dir"
. "$(dirname "$0")/../server_script.sh"

# With authentication on, as the admin.
http() {
  if [ -f "$dir/admin" ]; then
    curl -s --max-time 10 -u "$(sed -n 1p "$dir/admin"):$(sed -n 2p "$dir/admin")" "$@"
  else
    curl -s --max-time 10 "$@"
  fi
}

ping_code() { curl -s -o /dev/null -w '%{http_code}' --max-time 2 "http://127.0.0.1:$(cat "$dir/port")/ping"; }

start() {
  local db=${1:-}
  if [ ! -f "$dir/port" ]; then
    free_port >"$dir/port" || { echo "no free port" >&2; return 1; }
    free_port >"$dir/rpc-port" || return 1
  fi
  local port rpc
  port=$(cat "$dir/port")
  rpc=$(cat "$dir/rpc-port")
  cat >"$dir/influxdb.conf" <<CONF
reporting-disabled = true
bind-address = "127.0.0.1:$rpc"
[meta]
  dir = "$dir/meta"
[data]
  dir = "$dir/data"
  wal-dir = "$dir/wal"
  query-log-enabled = false
  trace-logging-enabled = false
[http]
  enabled = true
  auth-enabled = $([ -f "$dir/admin" ] && echo true || echo false)
  max-body-size = $(cat "$dir/max-body" 2>/dev/null || echo 25000000)
  bind-address = "127.0.0.1:$port"
  log-enabled = false
[monitor]
  store-enabled = false
[continuous_queries]
  enabled = false
[subscriber]
  enabled = false
CONF
  influxd run -config "$dir/influxdb.conf" >>"$dir/influxd.log" 2>&1 &
  echo $! >"$dir/pid"
  for _ in $(seq 1 300); do
    [ "$(ping_code)" = 204 ] && break
    kill -0 "$(cat "$dir/pid")" 2>/dev/null || { tail -n 20 "$dir/influxd.log" >&2; return 1; }
    sleep 0.1
  done
  [ "$(ping_code)" = 204 ] || { echo "influxd did not answer in 30 s" >&2; return 1; }
  if [ -f "$dir/admin" ]; then
    # The first user may be made without logging in; again after a restart it is refused, harmlessly.
    curl -s --max-time 10 -XPOST "http://127.0.0.1:$(cat "$dir/port")/query" --data-urlencode \
      "q=CREATE USER \"$(sed -n 1p "$dir/admin")\" WITH PASSWORD '$(sed -n 2p "$dir/admin")' WITH ALL PRIVILEGES" >/dev/null
  fi
  [ -z "$db" ] || createdb "$db"
}

createdb() {
  http -XPOST "http://127.0.0.1:$(cat "$dir/port")/query" --data-urlencode "q=CREATE DATABASE \"$1\"" >/dev/null
}

query() {
  http -G "http://127.0.0.1:$(cat "$dir/port")/query" --data-urlencode "db=$1" --data-urlencode "q=$2" \
       --data-urlencode "epoch=ms" |
    jq -r '.results[0].series[0].values[]? | map(if . == null then "-" else tostring end) | join(" ")'
}

case "$cmd" in
  start) start "${3:-}" ;;
  createdb) createdb "$3" ;;
  stop) stop ;;
  clean) stop; rm -rf "${dir:?}"/* ;;
  clean-all) clean_all ;;
  query)
    query "$3" "${4:-$(cat "$dir/query.in")}" >"$dir/query.out" && { [ -t 1 ] && cat "$dir/query.out"; true; } ;;
  port) cat "$dir/port" ;;
  *) echo "usage: influx_server.sh start|stop|clean|query|port DIR ..." >&2; exit 2 ;;
esac
finish $?
