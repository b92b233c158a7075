# Shared settings of the project's scripts; sourced, never run.
QUELT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QUELT_BUILD_DIR=${QUELT_BUILD_DIR:-$QUELT_ROOT/build}
QUELT_PRODUCT_DIR=$QUELT_BUILD_DIR/product
QUELT_TEST_DIR=$QUELT_BUILD_DIR/tests
# The program as it ships; the user interface tests drive this very file.
QUELT_PROGRAM=$QUELT_PRODUCT_DIR/app/Quelt.exe
export QUELT_ROOT QUELT_BUILD_DIR QUELT_PRODUCT_DIR QUELT_TEST_DIR QUELT_PROGRAM

quelt_log() { printf '[quelt] %s\n' "$*" >&2; }

# Installs what is missing and builds, showing the build's output only when
# it fails; for the commands whose own output is the point.
quelt_install_and_build_quietly() {
  "$QUELT_ROOT/scripts/install-deps.sh"
  mkdir -p "$QUELT_BUILD_DIR"
  "$QUELT_ROOT/scripts/build.sh" >"$QUELT_BUILD_DIR/build.log" 2>&1 \
    || { cat "$QUELT_BUILD_DIR/build.log"; return 1; }
}
