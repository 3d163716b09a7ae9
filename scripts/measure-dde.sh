#!/usr/bin/env bash
# Prints figures of the DDE service under Wine:
#  - from the CR byte of an instrument line written into COM16 until the
#    advise data with that line's value arrives at a client in another
#    process than QM487.exe (which reads COM15): median and percentiles
#    over LINES lines, with one advise link held;
#  - one NotifyAll round (36 advise posts) with no links and with an advise
#    link on each of the 36 items held by a client process.
# Builds nothing: needs scripts/build.sh windows first. Judges nothing.
#   measure-dde.sh [WINDOWS_BUILD_DIR] [LINES] [ROUNDS]
# Defaults: build/windows, 500, 500.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/windows}" && pwd)
lines=${2:-500}
rounds=${3:-500}
bench=$build/bench/qm487-bench-dde.exe
for f in "$build/app/QM487.exe" "$bench"; do
  [ -f "$f" ] || { echo "measure-dde: $f is not built" >&2; exit 1; }
done
state=$build/wine

started=
if [ ! -f "$state/display" ]; then
  "$here/wine-env.sh" start "$state" >&2
  started=1
fi
qm=
cleanup() {
  if [ -n "$qm" ] && kill -0 "$qm" 2>/dev/null; then
    "$here/wine-run.sh" --state "$state" "$bench" close >/dev/null 2>&1 || kill "$qm" 2>/dev/null || true
  fi
  if [ -n "$started" ]; then "$here/wine-env.sh" stop "$state" >&2; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The program runs from a folder of its own, reading COM15, without the
# start-up promotion window.
dir=$build/measure-dde
mkdir -p "$dir"
cp "$build/app/QM487.exe" "$dir/QM487.exe"
printf '[GENERAL]\r\nPORT_NR=15\r\nSHOW_ADV=0\r\n' >"$dir/qm487cfg.ini"
"$here/wine-run.sh" --state "$state" "$dir/QM487.exe" >/dev/null 2>&1 &
qm=$!

echo "measure-dde: $lines lines through COM16 -> COM15 -> QM487.exe -> DDE -> client" >&2
latency=$(timeout 900 "$here/wine-run.sh" --state "$state" "$bench" latency "$lines" COM16 | tr -d '\r')
"$here/wine-run.sh" --state "$state" "$bench" close >/dev/null 2>&1 || true
# A bounded wait: a close that did not work would hold the script for
# ever, and a copy left running ends the next start on the one-copy lock.
for _ in $(seq 150); do kill -0 "$qm" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$qm" 2>/dev/null; then
  echo "measure-dde: QM487 did not close; ending every process of $state/prefix" >&2
  WINEPREFIX=$state/prefix "$(command -v wineserver || echo /usr/lib/wine/wineserver64)" -k || true
fi
wait "$qm" 2>/dev/null || true
qm=
echo "measure-dde: $rounds NotifyAll rounds, without and with 36 links" >&2
notify=$(timeout 900 "$here/wine-run.sh" --state "$state" "$bench" notify "$rounds" | tr -d '\r' | grep -v '^linked')

field() { sed -n "s/^$1=//p" <<<"$2"; }
echo
echo "DDE service under $(wine --version 2>/dev/null || echo 'Wine ?'), $(nproc) CPUs"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-52s %9s %9s %9s %9s\n' "" median p90 p99 max
row() {
  printf '  %-52s %9s %9s %9s %9s\n' "$1" "$(field "$2_median_ms" "$3")" "$(field "$2_p90_ms" "$3")" \
    "$(field "$2_p99_ms" "$3")" "$(field "$2_max_ms" "$3")"
}
row "CR written -> advise data in the client, ms" cr_to_advise "$latency"
row "NotifyAll, no advise links, ms" notifyall_no_links "$notify"
row "NotifyAll, 36 advise links (client process), ms" notifyall_36_links "$notify"
echo "lines timed: $(field cr_to_advise_count "$latency"), no data within 2 s: $(field cr_to_advise_missed "$latency");" \
  "rounds: $(field notifyall_36_links_count "$notify")"
