#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine in a
# Wine environment of the run's own, which it removes again at the end.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$QUELT_ROOT/scripts/install-deps.sh"
"$QUELT_ROOT/scripts/build.sh"

source "$QUELT_ROOT/scripts/wine-env.sh"
quelt_wine_traps
quelt_wine_start
cd "$QUELT_TEST_DIR"
quelt_wait ctest --output-on-failure -j1 "$@"
