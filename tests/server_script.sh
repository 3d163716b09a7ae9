# Sourced by the test servers' scripts (influxd, Mosquitto, mail and web): the pieces they
# share. Each keeps its files in $dir: port, pid, and <command>.done.
# Started from Wine, PATH is the Windows one.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin:$PATH LC_ALL=C

# Below Linux's ephemeral ports (32768 up): a port taken as the local end of
# some outgoing connection answers no connect, yet cannot be listened on.
free_port() {
  local p
  for _ in $(seq 1 200); do
    p=$((20000 + RANDOM % 12000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
      echo "$p"
      return 0
    fi
  done
  return 1
}

# make_ca NAME [OPTION...]: a CA whose name and serial number are those of
# every CA made here.
make_ca() {
  local name=$1
  shift
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=QM487 test CA" -set_serial 4660 -keyout "$dir/$name.key" \
    -out "$dir/$name.pem" -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    "$@" 2>/dev/null
}

# make_server CA NAME OUT [EXTENSION]: a server certificate for NAME issued by CA, for the key
# of $dir/server.csr.
make_server() {
  printf 'subjectAltName=DNS:%s%s\nextendedKeyUsage=serverAuth\n%s\n' "$2" \
    "$([ "$2" = localhost ] && echo ,IP:127.0.0.1)" "${4:-}" >"$dir/$3.ext"
  openssl x509 -req -in "$dir/server.csr" -CA "$dir/$1.pem" -CAkey "$dir/$1.key" -set_serial "$RANDOM" -days 2 \
    -extfile "$dir/$3.ext" -out "$dir/$3.crt" 2>/dev/null
}

# Asks the server in $dir/pid to end, waits up to 10 s, then ends it.
stop() {
  [ -f "$dir/pid" ] || return 0
  local pid
  pid=$(cat "$dir/pid")
  kill "$pid" 2>/dev/null
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
  rm -f "$dir/pid"
  return 0
}

# Cleans every server folder under $dir (after a crashed test).
clean_all() {
  for d in "$dir"/*/; do
    if [ -d "$d" ]; then "$0" clean "${d%/}"; fi
  done
}

# Writes the command's status to $dir/<command>.done, since Wine cannot wait
# for a Unix process, and ends with it.
finish() {
  echo "$1" >"$dir/$cmd.done.tmp" && mv -f "$dir/$cmd.done.tmp" "$dir/$cmd.done"
  exit "$1"
}
