#!/usr/bin/env bash
# Prints figures of QM487.exe under Wine next to those of a hello window
# (bench/hello_window.cpp: one top-level window of the same size painting one
# line of text) measured the same way in the same run, and their ratios:
#  - start to first painted window: from just before CreateProcess until the
#    window is visible and its client area and every child's area, read back
#    from the X display, hold more than one colour (median of RUNS runs);
#  - peak working set, 2 s after that (the process's PeakWorkingSetSize,
#    which Wine takes from VmHWM of the Linux process; median of RUNS);
#  - idle CPU over IDLE_SECONDS of the program's Linux process (the Wine
#    process named after the .exe, not the wine-run.sh that started it) and
#    of the wineserver, from utime+stime in /proc; QM487 has lost the link,
#    so all nine fields blink: once with no port configured (its port dialog,
#    which a first start opens, closed), once with COM11 open and nothing
#    sending (its reader thread waiting as well);
#  - one full repaint of the nine fields (the hello window: of its window),
#    timed from another process; QM487 shows values from the simulator
#    meanwhile. How that is timed honestly: bench/app_probe.cpp, Repaint().
# Builds nothing: needs scripts/build.sh windows first. Judges nothing.
#   measure-app.sh [WINDOWS_BUILD_DIR] [RUNS] [IDLE_SECONDS] [REPAINT_ROUNDS]
# Defaults: build/windows, 5, 20, 200.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/windows}" && pwd)
runs=${2:-5}
idle=${3:-20}
rounds=${4:-200}
probe=$build/bench/qm487-app-probe.exe
hello=$build/bench/qm487-hello-window.exe
for f in "$build/app/QM487.exe" "$probe" "$hello" "$build/tools/qm487-sim/qm487-sim.exe"; do
  [ -f "$f" ] || { echo "measure-app: $f is not built" >&2; exit 1; }
done
state=$build/wine

alive() { [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null; }
wait_gone() {
  local i
  for i in $(seq $(($2 * 10))); do alive "$1" || return 0; sleep 0.1; done
  ! alive "$1"
}

started=
if [ ! -f "$state/display" ]; then
  QM487_X_DISPLAY= "$here/wine-env.sh" start "$state" >&2
  started=1
fi
bg=()
cleanup() {
  local p
  for p in "${bg[@]}"; do
    if alive "$p"; then kill "$p" 2>/dev/null; wait_gone "$p" 5 || kill -9 "$p" 2>/dev/null; fi
  done
  if [ -n "$started" ]; then "$here/wine-env.sh" stop "$state" >&2; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wine_run() { timeout "$1" "$here/wine-run.sh" --state "$state" "${@:2}"; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
# How long a window may take to come: the machine's load stretches a start
# (beyond 20 s under a load of 30 on two processors).
wait_s=${QM487_MEASURE_WAIT:-120}
probe() { wine_run $((wait_s + 120)) "$probe" "$@"; }

# The program runs from a folder of its own, with settings made afresh for
# each start, so no run inherits a window place from the one before. The
# promotion window stays off: it is modal, and while it is open the program
# cannot be closed from outside.
dir=$build/measure-app
mkdir -p "$dir"
cp "$build/app/QM487.exe" "$dir/QM487.exe"
settings() { printf '[GENERAL]\r\nPORT_NR=%s\r\nSHOW_ADV=0\r\n' "$1" >"$dir/qm487cfg.ini"; }
qm_title=QM487
hello_title="Hello window"

# Linux pids of this prefix's processes whose name (comm: a Windows
# program's file name, cut to 15 characters) matches the pattern.
prefix_pids() {
  local d
  for d in /proc/[0-9]*; do
    # shellcheck disable=SC2254
    case "$(cat "$d/comm" 2>/dev/null)" in $1) ;; *) continue ;; esac
    if { tr '\0' '\n' <"$d/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$state/prefix"; then echo "${d#/proc/}"; fi
  done
}
# The wineserver of this prefix, for its CPU time.
find_server() {
  server=$(prefix_pids 'wineserver*' | head -1)
  [ -n "$server" ] || { echo "measure-app: no wineserver for $state/prefix" >&2; exit 1; }
}
find_server
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Starts a program through wine-run.sh and sets pid to the Linux process
# of the program itself: wine-run.sh runs Wine as a child behind its
# output tails, so $! is the script.
run_bg() {
  local name before
  name=$(basename "$1")
  name=${name:0:15}
  before=" $(prefix_pids "$name" | tr '\n' ' ')"
  "$here/wine-run.sh" --state "$state" "$@" >/dev/null 2>&1 &
  bg+=("$!")
  pid=
  for _ in $(seq $((wait_s * 10))); do
    for p in $(prefix_pids "$name"); do [[ $before == *" $p "* ]] || pid=$p; done
    if [ -n "$pid" ]; then bg+=("$pid"); return 0; fi
    sleep 0.1
  done
  echo "measure-app: no process $name within $wait_s s" >&2
  exit 1
}
# Closes the window and makes sure its process has gone, lest the next
# start end at once on the one-copy lock: killed when the close did not
# end it, and the prefix's processes ended as the last resort.
stop() {
  probe close "$1" 10 >/dev/null || echo "measure-app: \"$1\" did not close" >&2
  wait_gone "$2" 15 && return 0
  kill "$2" 2>/dev/null || true
  wait_gone "$2" 5 && return 0
  echo "measure-app: ending every process of $state/prefix" >&2
  WINEPREFIX=$state/prefix "$(command -v wineserver || echo /usr/lib/wine/wineserver64)" -k || true
  wait_gone "$2" 10
  find_server
}
tck=$(getconf CLK_TCK)

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { sed -n "s/^$1=//p" | tr -d '\r'; }

echo "measure-app: $runs starts of each, alternating" >&2
qm_start=() hello_start=() qm_ws=() hello_ws=()
for i in $(seq "$runs"); do
  settings 11
  out=$(probe start "$qm_title" "$wait_s" 2 "$(winpath "$dir/QM487.exe")")
  qm_start+=("$(field painted_ms <<<"$out")"); qm_ws+=("$(field peak_working_set_kib <<<"$out")")
  out=$(probe start "$hello_title" "$wait_s" 2 "$(winpath "$hello")")
  hello_start+=("$(field painted_ms <<<"$out")"); hello_ws+=("$(field peak_working_set_kib <<<"$out")")
  echo "  run $i: QM487 ${qm_start[-1]} ms, ${qm_ws[-1]} KiB; hello ${hello_start[-1]} ms, ${hello_ws[-1]} KiB" >&2
done

# Idle: started from here, so that the Linux process is known. Sets
# cpu and srv (ticks of the program and of the wineserver) and hwm (KiB).
# A dialog titled DIALOG (the port dialog) is closed first when given.
idle_run() {
  local title=$1 dialog=$2 a b s1 s2
  shift 2
  run_bg "$@"
  probe painted "$title" "$wait_s" >/dev/null
  if [ -n "$dialog" ]; then
    probe close "$dialog" "$wait_s" >/dev/null || { echo "measure-app: no \"$dialog\" to close" >&2; exit 1; }
  fi
  sleep 2
  a=$(ticks "$pid"); s1=$(ticks "$server")
  sleep "$idle"
  b=$(ticks "$pid"); s2=$(ticks "$server")
  hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
  cpu=$((b - a)) srv=$((s2 - s1))
  stop "$title" "$pid"
}
echo "measure-app: idle, $idle s each" >&2
settings 0
idle_run "$qm_title" Porty "$dir/QM487.exe"
qm0_cpu=$cpu qm0_srv=$srv
settings 11
idle_run "$qm_title" "" "$dir/QM487.exe"
qm_cpu=$cpu qm_srv=$srv qm_hwm=$hwm
idle_run "$hello_title" "" "$hello"
hello_cpu=$cpu hello_srv=$srv hello_hwm=$hwm

# Repaint: QM487 with a value in every field (two rounds of the nine
# channels, as the mean waits for a full one), the hello window as it is.
echo "measure-app: repaint, $rounds rounds each" >&2
settings 11
run_bg "$dir/QM487.exe"
qm=$pid
probe painted "$qm_title" "$wait_s" >/dev/null
run_bg "$build/tools/qm487-sim/qm487-sim.exe" --port COM12 --channels 1-8,0 --value 21.5 --duration 600
sim=$pid
sleep 9
qm_paint=$(probe repaint "$qm_title" "$rounds" 1003 1011)
stop "$qm_title" "$qm"
kill -INT "$sim" 2>/dev/null || true
wait_gone "$sim" 10 || kill "$sim" 2>/dev/null || true

run_bg "$hello"
probe painted "$hello_title" "$wait_s" >/dev/null
hello_paint=$(probe repaint "$hello_title" "$rounds")
stop "$hello_title" "$pid"

# The table.
qm_s=$(printf '%s\n' "${qm_start[@]}" | median)
hello_s=$(printf '%s\n' "${hello_start[@]}" | median)
qm_w=$(printf '%s\n' "${qm_ws[@]}" | median)
hello_w=$(printf '%s\n' "${hello_ws[@]}" | median)
row() {  # label program hello [decimals]
  awk -v l="$1" -v a="$2" -v b="$3" -v d="${4:-1}" 'BEGIN {
    r = (b + 0 > 0) ? sprintf("%.2f", a / b) : "-"
    printf "  %-46s %10." d "f %10." d "f %8s\n", l, a, b, r }'
}
pct() { awk -v t="$1" -v s="$idle" -v k="$tck" 'BEGIN { printf "%.3f", 100 * t / k / s }'; }
qm_n=$(field windows <<<"$qm_paint"); hello_n=$(field windows <<<"$hello_paint")
qm_r=$(field repaint_median_ms <<<"$qm_paint"); hello_r=$(field repaint_median_ms <<<"$hello_paint")
qm_t=$(field round_trip_median_ms <<<"$qm_paint"); hello_t=$(field round_trip_median_ms <<<"$hello_paint")
# A round paints n windows: n WM_PAINT round trips and the closing WM_NULL.
# The fastest figures are the least disturbed by the machine's other work.
net() { awk -v r="$1" -v t="$2" -v n="$3" 'BEGIN { v = r - (n + 1) * t; print (v > 0 ? v : 0) }'; }

echo
echo "QM487.exe and a hello window under $(wine --version 2>/dev/null || echo 'Wine ?'), $(nproc) CPUs, display $(cat "$state/display")"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-46s %10s %10s %8s\n' "" "QM487" "hello" "ratio"
row "start to first painted window, ms (median)" "$qm_s" "$hello_s"
row "peak working set, MiB (median)" "$(awk -v k="$qm_w" 'BEGIN { print k / 1024 }')" \
  "$(awk -v k="$hello_w" 'BEGIN { print k / 1024 }')" 2
row "VmHWM at the end of an idle run, MiB" "$(awk -v k="$qm_hwm" 'BEGIN { print k / 1024 }')" \
  "$(awk -v k="$hello_hwm" 'BEGIN { print k / 1024 }')" 2
row "idle CPU, no port, % of one CPU" "$(pct "$qm0_cpu")" "$(pct "$hello_cpu")" 3
row "  the wineserver meanwhile, %" "$(pct "$qm0_srv")" "$(pct "$hello_srv")" 3
row "idle CPU, COM11 open, nothing sent, %" "$(pct "$qm_cpu")" "$(pct "$hello_cpu")" 3
row "  the wineserver meanwhile, %" "$(pct "$qm_srv")" "$(pct "$hello_srv")" 3
echo "full repaint of the nine fields (QM487) / of the window (hello):"
row "WM_PAINT sent to each window, ms (median)" "$qm_r" "$hello_r" 3
row "  p90, ms" "$(field repaint_p90_ms <<<"$qm_paint")" "$(field repaint_p90_ms <<<"$hello_paint")" 3
row "  fastest round, ms" "$(field repaint_min_ms <<<"$qm_paint")" "$(field repaint_min_ms <<<"$hello_paint")" 3
row "  one message round trip alone, ms (median)" "$qm_t" "$hello_t" 3
row "  one message round trip alone, ms (fastest)" "$(field round_trip_min_ms <<<"$qm_paint")" \
  "$(field round_trip_min_ms <<<"$hello_paint")" 3
row "  fastest, net of $((qm_n + 1)) / $((hello_n + 1)) round trips, ms" \
  "$(net "$(field repaint_min_ms <<<"$qm_paint")" "$(field round_trip_min_ms <<<"$qm_paint")" "$qm_n")" \
  "$(net "$(field repaint_min_ms <<<"$hello_paint")" "$(field round_trip_min_ms <<<"$hello_paint")" "$hello_n")" 3
# Nine windows are nine paints and nine round trips; per window painted:
row "  the same per window painted, ms" \
  "$(awk -v v="$(net "$(field repaint_min_ms <<<"$qm_paint")" "$(field round_trip_min_ms <<<"$qm_paint")" "$qm_n")" -v n="$qm_n" 'BEGIN { print v / n }')" \
  "$(awk -v v="$(net "$(field repaint_min_ms <<<"$hello_paint")" "$(field round_trip_min_ms <<<"$hello_paint")" "$hello_n")" -v n="$hello_n" 'BEGIN { print v / n }')" 3
row "painted by the program's own loop, ms (median)" "$(field own_loop_median_ms <<<"$qm_paint")" \
  "$(field own_loop_median_ms <<<"$hello_paint")" 3
row "  p90, ms" "$(field own_loop_p90_ms <<<"$qm_paint")" "$(field own_loop_p90_ms <<<"$hello_paint")" 3
row "  fastest round, ms" "$(field own_loop_min_ms <<<"$qm_paint")" "$(field own_loop_min_ms <<<"$hello_paint")" 3
echo "start runs, ms: QM487 ${qm_start[*]}; hello ${hello_start[*]}"
echo "idle: $idle s each, CLK_TCK $tck (one tick is $(awk -v k="$tck" -v s="$idle" 'BEGIN { printf "%.3f", 100 / k / s }') %);" \
  "the hello window's one idle run stands in both idle rows; the wineserver serves every process of the prefix"
echo "net rows: 0 means the fastest round took no longer than its round trips timed alone (the painting is within their noise)"
echo "repaint: $rounds rounds each; rounds with an update region left after WM_PAINT was sent:" \
  "$(field rounds_with_update_left <<<"$qm_paint") / $(field rounds_with_update_left <<<"$hello_paint");" \
  "own-loop rounds given up after 5 s: $(field own_loop_rounds_timed_out <<<"$qm_paint") / $(field own_loop_rounds_timed_out <<<"$hello_paint")"
