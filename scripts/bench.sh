#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine; each prints "name: value" lines.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

quelt_install_and_build_quietly

source "$QUELT_ROOT/scripts/wine-env.sh"
quelt_wine_traps
quelt_wine_start
# Figures taken under qemu cannot be compared with native ones.
echo "i386_execution: $QUELT_I386_EXECUTION"
# Each benchmark runs even when one before it failed; the run fails at the end.
failed=0
run_bench() {
  local name=$1 limit=$2
  local out="$QUELT_BUILD_DIR/bench-$name.txt"
  quelt_wait timeout "$limit" wine "$QUELT_TEST_DIR/bench/bench_$name.exe" >"$out" 2>&1 || {
    quelt_log "bench_$name failed"
    failed=1
  }
  cat "$out"
}
run_bench walk 1200
run_bench picture 600
exit $failed
