#!/usr/bin/env bash
# The one test command: installs what is missing, builds the native, the
# sanitizer and the Windows configurations, and runs every test (the
# Windows ones under Wine). Exits non-zero when anything fails.
#
# The Windows tests mostly wait (on 300 baud lines, on servers, on Wine
# starting), while the sanitizer build and its tests keep the processors
# busy: the two run side by side, the sanitizer's output kept in its log
# and shown once the Windows tests are done.
set -uo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=${QM487_BUILD_ROOT:-$src/build}
mkdir -p "$root"

"$src/scripts/install-deps.sh" || exit 1

# build_and_test KIND [quiet]: one configuration; its summary line goes to
# $root/KIND.summary, its exit status is 0 only when everything passed.
build_and_test() {
  local kind=$1 quiet=${2:-} rc line
  echo "=== $kind: build"
  if ! "$src/scripts/build.sh" "$kind" "$root" >"$root/$kind.build.log" 2>&1; then
    tail -n 40 "$root/$kind.build.log"
    echo "$kind: BUILD FAILED" >"$root/$kind.summary"
    return 1
  fi
  echo "=== $kind: test"
  # Two at a time, Wine tests too: each test program that shares something
  # (a COM pair, the DDE service name, the screen) holds it as a CTest
  # RESOURCE_LOCK.
  local j=${QM487_TEST_JOBS:-2}
  if [ -n "$quiet" ]; then
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir "$root/$kind" --output-on-failure -j"$j" --timeout 300 >"$root/$kind.test.log" 2>&1
    rc=$?
  else
    ctest --test-dir "$root/$kind" --output-on-failure -j"$j" --timeout 300 2>&1 | tee "$root/$kind.test.log"
    rc=${PIPESTATUS[0]}
  fi
  line=$(grep -E 'tests passed|No tests were found' "$root/$kind.test.log" | tail -n 1)
  echo "$kind: ${line:-no summary} (exit $rc)" >"$root/$kind.summary"
  return "$rc"
}

status=0
rm -f "$root"/*.summary
build_and_test native || status=1

echo "=== windows: build"
if "$src/scripts/build.sh" windows "$root" >"$root/windows.build.log" 2>&1; then
  build_and_test asan quiet &
  asan_pid=$!
  echo "=== windows: test (the sanitizer build and tests beside it)"
  ctest --test-dir "$root/windows" --output-on-failure -j"${QM487_TEST_JOBS:-2}" --timeout 300 2>&1 |
    tee "$root/windows.test.log"
  rc=${PIPESTATUS[0]}
  line=$(grep -E 'tests passed|No tests were found' "$root/windows.test.log" | tail -n 1)
  echo "windows: ${line:-no summary} (exit $rc)" >"$root/windows.summary"
  [ "$rc" -eq 0 ] || status=1
  wait "$asan_pid" || status=1
  echo "=== asan: test log"
  cat "$root/asan.test.log" 2>/dev/null || tail -n 40 "$root/asan.build.log"
else
  tail -n 40 "$root/windows.build.log"
  echo "windows: BUILD FAILED" >"$root/windows.summary"
  status=1
  build_and_test asan || status=1
fi

echo "=== summary"
cat "$root/native.summary" "$root/asan.summary" "$root/windows.summary" 2>/dev/null
exit $status
