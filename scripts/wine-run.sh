#!/usr/bin/env bash
# Runs one Windows program in the project's Wine environment.
#   wine-run.sh [--state DIR] PROGRAM.exe [ARGS...]
# Starts the environment when nobody has (a test run by hand).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" = "--state" ]; then export QM487_WINE_STATE=$2; shift 2; fi
: "${QM487_WINE_STATE:=$PWD/wine}"
if [ ! -f "$QM487_WINE_STATE/display" ]; then
  "$here/wine-env.sh" start "$QM487_WINE_STATE" >&2
fi
eval "$("$here/wine-env.sh" env "$QM487_WINE_STATE")"
# The program's output goes through files: a Wine process it starts on
# demand (the desktop's explorer.exe, which then lives on while any window
# of any program is open) inherits its output and outlives it, and ctest
# waits until the test's output pipe is closed. Two tails pass the output
# on as it comes and end with this script.
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.out.XXXXXX")
err=$(mktemp "${TMPDIR:-/tmp}/wine-run.err.XXXXXX")
trap 'rm -f "$out" "$err"' EXIT
tail -n +1 -f --pid=$$ "$out" &
tail -n +1 -f --pid=$$ "$err" >&2 &
set +e
"$QM487_WINE" "$@" >"$out" 2>"$err"
exit $?
