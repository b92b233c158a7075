#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine; each prints "name: value" lines.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$QUELT_ROOT/scripts/install-deps.sh"
"$QUELT_ROOT/scripts/build.sh" >/dev/null

source "$QUELT_ROOT/scripts/wine-env.sh"
trap quelt_wine_stop EXIT
quelt_wine_start
out="$QUELT_BUILD_DIR/bench-walk.txt"
timeout 1200 wine "$QUELT_TEST_DIR/bench/bench_walk.exe" >"$out" 2>&1 || { cat "$out"; exit 1; }
cat "$out"
