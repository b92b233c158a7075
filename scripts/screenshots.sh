#!/usr/bin/env bash
# Builds, runs the program on a virtual display and saves pictures of the
# main dialog with its logo (docs/screenshot-main.png) and of the About box
# (docs/screenshot-about.png), as the README shows them.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

quelt_install_and_build_quietly

source "$QUELT_ROOT/scripts/wine-env.sh"
source "$QUELT_ROOT/scripts/screenshot.sh"
quelt_wine_traps
unset DISPLAY
quelt_wine_start

wine "$QUELT_PROGRAM" >/dev/null 2>&1 &
program=$!
QUELT_WINE_PIDS+=("$program")
quelt_screenshot "Quelt 缓存文件提取器" "$QUELT_ROOT/docs/screenshot-main.png" "$program"
# It opens the box through the system menu and waits for it: 60 s is for both
# native runs and qemu.
quelt_wait timeout 60 wine "$QUELT_TEST_DIR/tests/support/open_about_box.exe" >/dev/null 2>&1 \
  || { quelt_log "open_about_box.exe could not open the About box (status $?)"; exit 1; }
quelt_screenshot "关于 Quelt 缓存文件提取器" "$QUELT_ROOT/docs/screenshot-about.png" "$program"
quelt_log "saved docs/screenshot-main.png and docs/screenshot-about.png"
