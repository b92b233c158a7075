#!/usr/bin/env bash
# Makes C:\quelt-fixtures\loop in the test run's Wine prefix, with a file and
# a link "back" that points at the folder itself, so that a walk that follows
# it meets the same folder again and again.
set -euo pipefail
: "${WINEPREFIX:?the Wine environment is not set up}"
loop="$WINEPREFIX/drive_c/quelt-fixtures/loop"
mkdir -p "$loop"
printf 'in the loop' >"$loop/item.flv"
ln -sfn . "$loop/back"
