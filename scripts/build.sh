#!/usr/bin/env bash
# Configures and builds everything (program, tests, benchmarks) for 32-bit
# Windows into $QUELT_BUILD_DIR.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

mkdir -p "$QUELT_BUILD_DIR"
cmake -S "$QUELT_ROOT" -B "$QUELT_BUILD_DIR" \
  -DCMAKE_TOOLCHAIN_FILE="$QUELT_ROOT/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >"$QUELT_BUILD_DIR/configure.log" 2>&1 \
  || { cat "$QUELT_BUILD_DIR/configure.log"; exit 1; }
cmake --build "$QUELT_BUILD_DIR" -j"$(nproc)"
