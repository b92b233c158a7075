#!/usr/bin/env bash
# Runs one Windows program under the Wine environment that wine-env.sh set
# up; ctest uses it for every test. The timeout keeps a hung program from
# hanging the whole run.
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-exec.sh: no Wine environment; run the tests through scripts/test.sh" >&2
  exit 2
fi
exec timeout -k 5 "${QUELT_WINE_TIMEOUT:-600}" wine "$@"
