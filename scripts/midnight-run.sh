#!/usr/bin/env bash
# A day's files changing at midnight, under Wine with a faked clock: QM487
# records both files with "Nowy plik: co dzień" at a 1 s interval while the
# simulator feeds it, its clock (libfaketime) starting at 23:59:30, until
# shortly after 00:00; then prints the rows around midnight of both days'
# files and checks that the seconds follow each other with none lost or
# written twice across the change.
#
#   midnight-run.sh [BUILD_DIR]     (BUILD_DIR: a Windows build, build/windows)
#
# Needs a built Windows configuration (scripts/build.sh windows). Runs in
# BUILD_DIR/midnight with a Wine environment of its own. Exit 0 when the
# rows are whole.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$src/build/windows}
"$src/scripts/install-deps.sh"
command -v faketime >/dev/null || { echo "midnight-run.sh: faketime missing" >&2; exit 1; }
run=$bin/midnight
state=$run/wine
rm -rf "$run/files" && mkdir -p "$run/files"
cp "$bin/app/QM487.exe" "$run/QM487.exe"
files=$(cd "$run/files" && pwd)
win="Z:${files//\//\\}"
printf '[GENERAL]\r\nPORT_NR=11\r\nSHOW_ADV=0\r\n[LOG]\r\nFILE_NAME=%s\\pomiar.csv\r\nFILE_NAME_BIN=%s\\pomiar.kvf\r\nFILE_LOG=1\r\nFILE_LOG_BIN=1\r\nFILE_INTERVAL=1\r\nFILE_SPLIT=1\r\n' \
  "$win" "$win" >"$run/qm487cfg.ini"

"$src/scripts/wine-env.sh" start "$state" >/dev/null
qm= sim=
cleanup() {
  [ -n "$qm" ] && kill "$qm" 2>/dev/null || true
  [ -n "$sim" ] && kill -INT "$sim" 2>/dev/null || true
  "$src/scripts/wine-env.sh" stop "$state" >/dev/null || true
}
trap cleanup EXIT
wine_run() { "$src/scripts/wine-run.sh" --state "$state" "$@"; }
wine_run "$bin/tools/qm487-sim/qm487-sim.exe" --port COM12 --channels 1-3 --duration 120 >"$run/sim.log" 2>&1 &
sim=$!
# The files open 10 s after the start, so the first rows come at about 23:59:42.
faketime -f '@2026-12-09 23:59:30' "$src/scripts/wine-run.sh" --state "$state" "$run/QM487.exe" >"$run/qm487.log" 2>&1 &
qm=$!
for _ in $(seq 600); do
  [ -s "$files/pomiar_2026-12-10.csv" ] && [ "$(grep -c '^2026' "$files/pomiar_2026-12-10.csv")" -ge 15 ] && break
  sleep 0.1
done
timeout 60 "$src/scripts/wine-run.sh" --state "$state" "$bin/tools/qm487-watch.exe" --close --wait 15 >/dev/null || true
wait "$qm" 2>/dev/null || true
qm=

rc=0
echo "midnight-run.sh: files: $(cd "$files" && ls | tr '\n' ' ')"
for day in 2026-12-09 2026-12-10; do
  [ -f "$files/pomiar_$day.csv" ] || { echo "midnight-run.sh: no pomiar_$day.csv" >&2; rc=1; }
done
[ "$rc" -eq 0 ] || exit 1
echo "--- pomiar_2026-12-09.csv (last rows)"; tail -n 3 "$files/pomiar_2026-12-09.csv" | tr -d '\r'
echo "--- pomiar_2026-12-10.csv (first rows)"; head -n 4 "$files/pomiar_2026-12-10.csv" | tr -d '\r' | iconv -f cp1250 -t utf-8
for kind in csv kvf; do
  if [ "$kind" = csv ]; then
    times=$(cat "$files/pomiar_2026-12-09.csv" "$files/pomiar_2026-12-10.csv" | grep -a '^2026' | cut -c1-19 | tr '.' '-')
  else
    times=$(for day in 2026-12-09 2026-12-10; do
      wine_run "$bin/tools/qm487-kvf/qm487-kvf.exe" csv "$win\\pomiar_$day.kvf" | tr -d '\r' | grep '^2026' | cut -c1-19
    done)
  fi
  # One row a second: each next second, allowing a tick that Wine's timer
  # delivered late (a second skipped), never one twice or out of order.
  summary=$(printf '%s\n' "$times" | while read -r d t; do date -u -d "$d $t" +%s; done |
    awk 'NR > 1 { step = $1 - last; if (step <= 0) twice++; else if (step > 2) lost++ } { last = $1; n++ }
         END { printf "%d rows, %d repeated or out of order, %d gaps", n, twice, lost; exit (twice || lost) }') || rc=1
  echo "midnight-run.sh: $kind: $summary"
done
exit "$rc"
