#!/usr/bin/env bash
# Configures and builds one configuration of the tree.
#   build.sh native|asan|windows [BUILD_ROOT]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
root=${2:-$src/build}
mkdir -p "$root"
jobs=$(nproc 2>/dev/null || echo 2)
case "$kind" in
  native)  args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)    args=(-DCMAKE_BUILD_TYPE=Debug -DQM487_SANITIZE=ON -DQM487_BENCHMARKS=OFF) ;;
  windows) args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-mingw64.cmake") ;;
  *) echo "usage: build.sh native|asan|windows [BUILD_ROOT]" >&2; exit 2 ;;
esac
cmake -S "$src" -B "$root/$kind" "${args[@]}" >"$root/$kind.configure.log" 2>&1 ||
  { cat "$root/$kind.configure.log"; exit 1; }
cmake --build "$root/$kind" -j"$jobs"
