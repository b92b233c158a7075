#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$QUELT_ROOT/scripts/install-deps.sh"
"$QUELT_ROOT/scripts/build.sh"
quelt_log "built; the program's window arrives with the application dialog"
