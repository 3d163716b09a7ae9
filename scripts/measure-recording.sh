#!/usr/bin/env bash
# Prints the recording writers' figures: the cost of one tick (a report row
# and a binary record, each written and flushed) and the memory over 100,000
# ticks; natively, and under Wine through the program's own file object.
# Builds nothing; the files go to a folder of the disk under test.
#   measure-recording.sh [BUILD_ROOT (build)] [TICKS (100000)] [TIMED TICKS (2000)] [DIR (a temp folder)]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=${1:-$here/../build}
ticks=${2:-100000}
timed=${3:-2000}
dir=${4:-$(mktemp -d)}
native=$root/native/bench/qm487-bench-recording
windows=$root/windows/bench/qm487-bench-recording.exe
mkdir -p "$dir"
trap 'rm -f "$dir"/bench-report.csv "$dir"/bench.kvf' EXIT

if [ -x "$native" ]; then
  echo "== native ($(uname -sr), $(nproc) CPUs)"
  "$native" "$dir" "$ticks" "$timed"
else
  echo "== native: $native is not built (scripts/build.sh native)"
fi

if [ -f "$windows" ]; then
  state=$(cd "$root/windows" && pwd)/wine
  started=
  if [ ! -f "$state/display" ]; then
    "$here/wine-env.sh" start "$state" >&2
    started=1
  fi
  echo "== Windows build under Wine $(wine --version 2>/dev/null || echo '?')"
  "$here/wine-run.sh" --state "$state" "$windows" "Z:$dir" "$ticks" "$timed" || true
  if [ -n "$started" ]; then "$here/wine-env.sh" stop "$state" >&2; fi
else
  echo "== Windows: $windows is not built (scripts/build.sh windows)"
fi
