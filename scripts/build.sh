#!/usr/bin/env bash
# Builds into $QUELT_BUILD_DIR: the program as it ships (win32 thread model,
# nothing newer than Windows XP) in product/, and the tests and benchmarks
# (posix thread model, which GoogleTest needs) in tests/.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

configure_and_build() {
  local dir=$1
  shift
  mkdir -p "$dir"
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$QUELT_ROOT" -B "$dir" \
      -DCMAKE_TOOLCHAIN_FILE="$QUELT_ROOT/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release "$@" >"$dir/configure.log" 2>&1 \
      || { cat "$dir/configure.log"; exit 1; }
  fi
  cmake --build "$dir" -j"$(nproc)"
}

configure_and_build "$QUELT_PRODUCT_DIR" -DQUELT_THREAD_MODEL=win32 -DQUELT_BUILD_TESTS=OFF
configure_and_build "$QUELT_TEST_DIR" -DQUELT_THREAD_MODEL=posix -DQUELT_PROGRAM="$QUELT_PROGRAM"
