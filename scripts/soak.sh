#!/usr/bin/env bash
# The long runs of what scripts/test.sh runs short, each printing its
# figures: a hostile DDE client (10,000 random transactions: the program
# must neither crash nor keep handles), QM487.exe killed while recording
# (100 runs: every row of the report and every record of the binary log
# written before the kill must be whole) and the adapter pulled and plugged
# back (20 cycles).
#   soak.sh [BUILD_DIR]     (build/windows by default; scripts/build.sh windows first)
# QM487_HOSTILE_TRANSACTIONS, QM487_KILL_RUNS and QM487_REPLUG_CYCLES set the
# lengths. Exits non-zero when a run fails.
set -uo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${QM487_BUILD_ROOT:-$src/build}/windows}
build=$(cd "$build" && pwd) || exit 1
export QM487_HOSTILE_TRANSACTIONS=${QM487_HOSTILE_TRANSACTIONS:-10000}
export QM487_KILL_RUNS=${QM487_KILL_RUNS:-100}
export QM487_REPLUG_CYCLES=${QM487_REPLUG_CYCLES:-20}

# A Wine environment of its own (display, wineserver, COM pairs), so a test
# run can go on beside it.
state=$build/wine-soak
export QM487_WINE_STATE=$state
"$src/scripts/wine-env.sh" start "$state" >"$build/soak-wine.log" 2>&1 || { cat "$build/soak-wine.log"; exit 1; }
trap '"$src/scripts/wine-env.sh" stop "$state" >/dev/null 2>&1' EXIT
# The port dialog's COM7 is the pair COM17 <-> COM18, as in the tests.
ln -sfn "$state/tty/com17" "$state/prefix/dosdevices/com7"

echo "soak.sh: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
# run NAME PROGRAM GTEST_FILTER SECONDS: one test program, bounded in time.
run() {
  local name=$1 exe=$2 filter=$3 limit=$4 log=$build/soak-$1.log start rc
  start=$(date +%s)
  GTEST_FILTER=$filter timeout --kill-after=30 "$limit" \
    "$src/scripts/wine-run.sh" --state "$state" "$exe" >"$log" 2>&1
  rc=$?
  grep -q "Unhandled \(exception\|page fault\)" "$log" && rc=1
  echo "$name: exit $rc after $(( $(date +%s) - start )) s (output in $log)"
  grep -E '^(hostile |handles |killed |adapter )' "$log" | sed 's/^/  /'
  if [ "$rc" -ne 0 ]; then
    status=1
    tail -n 30 "$log"
  fi
}
run dde "$build/tests/app/dde_service_tests.exe" 'DdeService.AHostileClient*' 3600
run kill "$build/tests/recording/recording_window_tests.exe" 'RecordingKill.*' 7200
run replug "$build/tests/app/port_replug_tests.exe" '*' 1800
echo "soak.sh: load average $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
