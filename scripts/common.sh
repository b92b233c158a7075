# Shared settings of the project's scripts; sourced, never run.
QUELT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QUELT_BUILD_DIR=${QUELT_BUILD_DIR:-$QUELT_ROOT/build}
export QUELT_ROOT QUELT_BUILD_DIR

quelt_log() { printf '[quelt] %s\n' "$*" >&2; }
