#!/usr/bin/env bash
# Configures and builds one configuration of the tree.
#   build.sh native|asan|windows [BUILD_ROOT [CMAKE_OPTION...]]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
root=${2:-$src/build}
shift $(($# < 2 ? $# : 2))
mkdir -p "$root"
jobs=$(nproc 2>/dev/null || echo 2)
case "$kind" in
  native)  args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)    args=(-DCMAKE_BUILD_TYPE=Debug -DQM487_SANITIZE=ON -DQM487_BENCHMARKS=OFF) ;;
  windows) args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-mingw64.cmake") ;;
  *) echo "usage: build.sh native|asan|windows [BUILD_ROOT [CMAKE_OPTION...]]" >&2; exit 2 ;;
esac
args+=("$@")
# ccache, when present, lets another checkout of the same tree (a second
# work tree, a CI clone) reuse what one build already compiled.
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
  args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$src" -B "$root/$kind" "${args[@]}" >"$root/$kind.configure.log" 2>&1 ||
  { cat "$root/$kind.configure.log"; exit 1; }
cmake --build "$root/$kind" -j"$jobs"
