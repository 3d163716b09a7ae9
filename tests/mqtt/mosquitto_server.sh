#!/usr/bin/env bash
# A private Mosquitto broker for the tests, on a loopback port, its files in
# the folder given.
#   mosquitto_server.sh start DIR MODE   plain | password (users "lab", password "Has-7;x", and
#                                        "Paweł", password "zażółć", and "ivan",
#                                        password "пароль") |
#                                        tls (a CA and a certificate for localhost made here: DIR/ca.pem) |
#                                        tls-lookalike (the certificate from a CA with ca.pem's name and
#                                        serial number and a key of its own, DIR/lookalike.pem, sent with it) |
#                                        tls-lookalike-alone (that certificate without its CA) |
#                                        tls-elsewhere (a certificate from ca.pem for elsewhere.example) |
#                                        tls-aia (a certificate from an intermediate of ca.pem, sent alone,
#                                        naming where to fetch the intermediate: a web server here logs
#                                        every fetch in DIR/http.log);
#                                        again after stop: the same port, mode and saved sessions
#   mosquitto_server.sh stop DIR         stop it (sessions and queued messages are saved)
#   mosquitto_server.sh clean DIR        stop it and empty DIR
#   mosquitto_server.sh clean-all BASE   clean every DIR under BASE (after a crashed test)
# Every wait is bounded; each command writes its exit status to
# DIR/<command>.done, as Wine cannot wait for a Unix process.
set -uo pipefail
cmd=$1
dir=$2
mkdir -p "$dir"
. "$(dirname "$0")/../server_script.sh"

make_tls() {
  [ -f "$dir/lookalike-chain.crt" ] && return 0
  make_ca ca || return 1
  # The look-alike copies the key identifier too, so its certificates name ca.pem's key as their issuer's.
  local key_id
  key_id=$(openssl x509 -in "$dir/ca.pem" -noout -ext subjectKeyIdentifier | tail -n 1 | tr -d ' ')
  make_ca lookalike -addext "subjectKeyIdentifier=$key_id" -addext "authorityKeyIdentifier=none" || return 1
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$dir/server.key" -out "$dir/server.csr" \
    2>/dev/null || return 1
  make_server ca localhost server && make_server ca elsewhere.example elsewhere &&
    make_server lookalike localhost lookalike-server || return 1
  cat "$dir/lookalike-server.crt" "$dir/lookalike.pem" >"$dir/lookalike-chain.crt"
}

# An intermediate of ca.pem, served as DER on a port of its own, and a server
# certificate from it that names that address.
make_aia() {
  [ -f "$dir/aia-server.crt" ] && return 0
  free_port >"$dir/http.port" || return 1
  openssl req -newkey rsa:2048 -nodes -subj "/CN=QM487 test intermediate" -keyout "$dir/inter.key" \
    -out "$dir/inter.csr" 2>/dev/null || return 1
  printf 'basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n' >"$dir/inter.ext"
  openssl x509 -req -in "$dir/inter.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -set_serial 7 -days 2 \
    -extfile "$dir/inter.ext" -out "$dir/inter.pem" 2>/dev/null || return 1
  openssl x509 -in "$dir/inter.pem" -outform DER -out "$dir/inter.der" || return 1
  make_server inter localhost aia-server \
    "authorityInfoAccess=caIssuers;URI:http://127.0.0.1:$(cat "$dir/http.port")/inter.der"
}

stop_http() {
  [ -f "$dir/http.pid" ] && kill "$(cat "$dir/http.pid")" 2>/dev/null
  rm -f "$dir/http.pid"
}

start() {
  local mode=${1:-$(cat "$dir/mode" 2>/dev/null || echo plain)}
  echo "$mode" >"$dir/mode"
  [ -f "$dir/port" ] || free_port >"$dir/port" || { echo "no free port" >&2; return 1; }
  local port
  port=$(cat "$dir/port")
  {
    echo "listener $port 127.0.0.1"
    echo "user $(id -un)"  # started as root it would become "mosquitto", who cannot read DIR
    echo "persistence true"
    echo "persistence_location $dir/"
    echo "log_dest file $dir/mosquitto.log"
    case "$mode" in
      plain) echo "allow_anonymous true" ;;
      password)
        mosquitto_passwd -b -c "$dir/passwd" lab 'Has-7;x' >/dev/null 2>&1 || return 1
        mosquitto_passwd -b "$dir/passwd" 'Paweł' 'zażółć' >/dev/null 2>&1 || return 1
        mosquitto_passwd -b "$dir/passwd" ivan 'пароль' >/dev/null 2>&1 || return 1
        echo "allow_anonymous false"
        echo "password_file $dir/passwd" ;;
      tls*)
        make_tls || { echo "openssl failed" >&2; return 1; }
        local cert
        case "$mode" in
          tls) cert=server.crt ;;
          tls-lookalike) cert=lookalike-chain.crt ;;
          tls-lookalike-alone) cert=lookalike-server.crt ;;
          tls-elsewhere) cert=elsewhere.crt ;;
          tls-aia)
            make_aia || { echo "openssl failed" >&2; return 1; }
            cert=aia-server.crt
            stop_http
            python3 -m http.server --bind 127.0.0.1 --directory "$dir" "$(cat "$dir/http.port")" \
              >>"$dir/http.log" 2>&1 &
            echo $! >"$dir/http.pid"
            for _ in $(seq 1 100); do
              (exec 3<>"/dev/tcp/127.0.0.1/$(cat "$dir/http.port")") 2>/dev/null && break
              sleep 0.1
            done ;;
          *) echo "unknown mode $mode" >&2; return 1 ;;
        esac
        echo "allow_anonymous true"
        echo "certfile $dir/$cert"
        echo "keyfile $dir/server.key" ;;
    esac
  } >"$dir/mosquitto.conf"
  mosquitto -c "$dir/mosquitto.conf" >>"$dir/mosquitto.out" 2>&1 &
  echo $! >"$dir/pid"
  for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
    kill -0 "$(cat "$dir/pid")" 2>/dev/null || { tail -n 20 "$dir/mosquitto.out" "$dir/mosquitto.log" >&2; return 1; }
    sleep 0.1
  done
  echo "mosquitto did not listen in 10 s" >&2
  return 1
}

case "$cmd" in
  start) start "${3:-}" ;;
  stop) stop; stop_http ;;
  clean) stop; stop_http; rm -rf "${dir:?}"/* ;;
  clean-all) clean_all ;;
  *) echo "usage: mosquitto_server.sh start|stop|clean|clean-all DIR ..." >&2; exit 2 ;;
esac
finish $?
