# Sourced by the benchmarks that measure a sender against a private server
# of the tests (measure-database.sh, measure-mqtt.sh). Before sourcing, set
# `here` (the scripts folder), `build` (the Windows build folder), `bench`
# (the benchmark's .exe) and `server` (the test server's script). Gives a
# temporary server folder in `data` and the bench's Wine environment in
# `state`, started here when it was not running and stopped again at exit,
# with the server cleaned away.
[ -f "$bench" ] || { echo "$(basename "$0"): $bench is not built" >&2; exit 1; }
state=$build/wine
data=$(mktemp -d)

started=
if [ ! -f "$state/display" ]; then
  "$here/wine-env.sh" start "$state" >&2
  started=1
fi
cleanup() {
  "$server" clean "$data" >/dev/null 2>&1 || true
  rm -rf "$data"
  if [ -n "$started" ]; then "$here/wine-env.sh" stop "$state" >&2; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
