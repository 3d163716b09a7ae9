#!/usr/bin/env bash
# The notification tests' servers on loopback ports, their files in the folder given:
#   notify_servers.sh start DIR       a mail server offering STARTTLS with a certificate for localhost
#                                     from a CA made here (DIR/ca.pem; DIR/smtp.port), and a web hook
#                                     listener (DIR/http.port, POSTs in DIR/posts.log), and a TLS listener that
#                                     speaks TLS 1.1 at most (DIR/tls11.port): notify_servers.py
#   notify_servers.sh stop DIR        stop them, keeping their ports and files (start again takes the same ports)
#   notify_servers.sh clean DIR       stop them and empty DIR
#   notify_servers.sh clean-all BASE  clean every DIR under BASE (after a crashed test)
# Every wait is bounded; each command writes its exit status to DIR/<command>.done.
set -uo pipefail
cmd=$1
dir=$2
mkdir -p "$dir"
. "$(dirname "$0")/../server_script.sh"

start() {
  if [ ! -f "$dir/server.crt" ]; then
    make_ca ca && openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$dir/server.key" \
      -out "$dir/server.csr" 2>/dev/null && make_server ca localhost server || { echo "openssl failed" >&2; return 1; }
  fi
  if [ ! -f "$dir/tls11.port" ]; then
    free_port >"$dir/smtp.port" && free_port >"$dir/http.port" && free_port >"$dir/tls11.port" || return 1
  fi
  /usr/bin/python3 "$(dirname "$0")/notify_servers.py" "$dir" "$(cat "$dir/smtp.port")" "$(cat "$dir/http.port")" \
    "$(cat "$dir/tls11.port")" \
    >>"$dir/servers.out" 2>&1 &
  echo $! >"$dir/pid"
  for _ in $(seq 1 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$(cat "$dir/smtp.port")") 2>/dev/null &&
      (exec 3<>"/dev/tcp/127.0.0.1/$(cat "$dir/http.port")") 2>/dev/null &&
      (exec 3<>"/dev/tcp/127.0.0.1/$(cat "$dir/tls11.port")") 2>/dev/null; then
      return 0
    fi
    kill -0 "$(cat "$dir/pid")" 2>/dev/null || { tail -n 20 "$dir/servers.out" >&2; return 1; }
    sleep 0.1
  done
  echo "the servers did not listen in 10 s" >&2
  return 1
}

case "$cmd" in
  start) start ;;
  stop) stop ;;
  clean) stop; rm -rf "${dir:?}"/* ;;
  clean-all) clean_all ;;
  *) echo "usage: notify_servers.sh start|clean|clean-all DIR" >&2; exit 2 ;;
esac
finish $?
