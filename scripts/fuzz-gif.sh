#!/usr/bin/env bash
# Runs the GIF reader's randomized test on far more inputs than the test
# suite gives it. Every stream ends at the edge of readable memory, so a
# single read past its end crashes the run, which then names the input.
#
#   bash scripts/fuzz-gif.sh [iterations] [seed]
#
# Without a seed each run takes a new one and prints it: a failure repeats
# with the same seed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

iterations=${1:-10000000}
seed=${2:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}
for number in "$iterations" "$seed"; do
  [[ $number =~ ^[0-9]+$ ]] && [ "$number" -le 4294967295 ] \
    || { echo "usage: $0 [iterations] [seed], both below 2^32" >&2; exit 2; }
done

quelt_install_and_build_quietly

source "$QUELT_ROOT/scripts/wine-env.sh"
quelt_wine_traps
quelt_wine_start
out="$QUELT_BUILD_DIR/fuzz-gif.txt"
quelt_log "GIF reader: $iterations inputs, seed $seed"
# An input takes a few microseconds natively, and some ten times as long
# under qemu; the limit only catches a reader that hangs.
limit=$((600 + iterations / 1000))
started=$(date +%s%N)
status=0
QUELT_FUZZ_SEED=$seed QUELT_FUZZ_ITERATIONS=$iterations \
  quelt_wait timeout "$limit" wine "$QUELT_TEST_DIR/tests/picture_tests.exe" --gtest_filter='GifReaderFuzz.*' \
  >"$out" 2>&1 || status=$?
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
cat "$out"
echo "i386_execution: $QUELT_I386_EXECUTION"
echo "gif_fuzz_inputs: $iterations"
echo "gif_fuzz_seed: $seed"
echo "gif_fuzz_seconds: $((elapsed_ms / 1000)).$(printf '%03d' $((elapsed_ms % 1000)))"
echo "gif_fuzz_result: $([ $status -eq 0 ] && echo passed || echo "failed ($status)")"
exit $status
