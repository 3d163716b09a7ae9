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
exec "$QM487_WINE" "$@"
