#!/usr/bin/env bash
# The one test command: installs what is missing, builds the native, the
# sanitizer and the Windows configurations, and runs every test (the
# Windows ones under Wine). Exits non-zero when anything fails.
set -uo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=${QM487_BUILD_ROOT:-$src/build}
mkdir -p "$root"

"$src/scripts/install-deps.sh" || exit 1

status=0
summary=()
for kind in native asan windows; do
  echo "=== $kind: build"
  if ! "$src/scripts/build.sh" "$kind" "$root" >"$root/$kind.build.log" 2>&1; then
    tail -n 40 "$root/$kind.build.log"
    summary+=("$kind: BUILD FAILED")
    status=1
    continue
  fi
  echo "=== $kind: test"
  # Two at a time, Wine tests too: each test program that shares something
  # (a COM pair, the DDE service name, the screen) holds it as a CTest
  # RESOURCE_LOCK.
  j=${QM487_TEST_JOBS:-2}
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$root/$kind" --output-on-failure -j"$j" --timeout 300 2>&1 | tee "$root/$kind.test.log"
  rc=${PIPESTATUS[0]}
  line=$(grep -E 'tests passed|No tests were found' "$root/$kind.test.log" | tail -n 1)
  summary+=("$kind: ${line:-no summary} (exit $rc)")
  [ "$rc" -eq 0 ] || status=1
done

echo "=== summary"
printf '%s\n' "${summary[@]}"
exit $status
