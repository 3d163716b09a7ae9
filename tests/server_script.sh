# Sourced by the test servers' scripts (influxd, Mosquitto): the pieces they
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
