# Sets up and tears down the Wine environment that the program, the tests and
# the benchmarks run in: a prefix of the run's own, code page 936, a display
# (the user's, or a virtual one), a Wine virtual desktop (title bars, and no
# stall when a window hides) and a persistent wineserver. Sourced, never run.
#
#   quelt_wine_traps          quelt_wine_stop at exit, also after a signal
#   quelt_wine_start [--user-display] [--prefix DIR]
#   quelt_wait COMMAND...     a long command that a signal can cut short
#   quelt_wine_stop
#
# Without --prefix the run gets a fresh prefix that quelt_wine_stop removes.
# Where i386 code is emulated (see i386.sh), the binfmt_misc entry goes too.

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$(dirname "${BASH_SOURCE[0]}")/i386.sh"

QUELT_WINE_PIDS=()
QUELT_WINE_OWN_PREFIX=""
QUELT_WAITING=""

quelt_wine_traps() {
  trap quelt_wine_stop EXIT
  # Exiting runs the EXIT trap, so an interrupted run cleans up as well.
  trap 'exit 130' INT
  trap 'exit 143' TERM
  trap 'exit 129' HUP
}

# Bash runs a trap only once the foreground command has ended, which for a
# test run or wineboot under emulation can be many minutes; the wait builtin
# is cut short at once. The command's own status is returned.
quelt_wait() {
  "$@" &
  QUELT_WAITING=$!
  local status=0
  wait "$QUELT_WAITING" || status=$?
  QUELT_WAITING=""
  return $status
}

quelt_wine_locale() {
  # Wine opens files with Chinese names only when glibc has the locale
  # compiled; without it LC_ALL alone gives code page 936 but errors 123/2.
  if locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
    return
  fi
  local dir="$QUELT_BUILD_DIR/locale"
  if [ ! -d "$dir/zh_CN.UTF-8" ]; then
    mkdir -p "$dir"
    localedef -i zh_CN -f UTF-8 "$dir/zh_CN.UTF-8" >/dev/null 2>&1 || true
  fi
  export LOCPATH="$dir"
}

quelt_wine_display() {
  local user_display=$1
  if [ "$user_display" = 1 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return
  fi
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  QUELT_WINE_PIDS+=($!)
  local tries=0
  while [ ! -s "$fdfile" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
  if [ ! -s "$fdfile" ]; then
    rm -f "$fdfile"
    quelt_log "Xvfb did not start"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
  export QUELT_VIRTUAL_DISPLAY=1
}

quelt_wine_desktop() {
  timeout 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  # The desktop that wineboot started is not a virtual one, and the keys
  # only count for a desktop made after them: start the server afresh.
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  timeout 30 wineserver -w >/dev/null 2>&1 || true
  wineserver -p
  # An explorer started while the previous one is still winding down exits at
  # once: start it until one stays up. Under qemu, where every start takes
  # several times as long, it is given longer to show that it stays.
  local attempt pid settle=2
  [ "$QUELT_I386_EXECUTION" = native ] || settle=8
  for attempt in 1 2 3 4 5 6; do
    wine explorer /desktop=Default,1024x768 >/dev/null 2>&1 &
    pid=$!
    sleep "$settle"
    if kill -0 "$pid" 2>/dev/null; then
      QUELT_WINE_PIDS+=("$pid")
      return 0
    fi
  done
  quelt_log "the Wine virtual desktop did not stay up"
  return 1
}

# Caption buttons (close, help, ...) are glyphs of the Marlett font. Wine
# ships it (fonts-wine) in its own data folder, but does not find it there,
# and draws the close box as the letter "r" in a text font; in the prefix's
# font folder it is found. Before any program of the run draws a caption.
quelt_wine_marlett() {
  local font=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ -f "$font" ] && [ -d "$fonts" ] || return 0
  [ -f "$fonts/marlett.ttf" ] || cp "$font" "$fonts/marlett.ttf"
}

quelt_wine_start() {
  local user_display=0 prefix=""
  while [ $# -gt 0 ]; do
    case $1 in
      --user-display) user_display=1 ;;
      --prefix) prefix=$2; shift ;;
    esac
    shift
  done
  if [ -z "$prefix" ]; then
    mkdir -p "$QUELT_BUILD_DIR/wine"
    prefix=$(mktemp -d "$QUELT_BUILD_DIR/wine/prefix.XXXXXX")
    QUELT_WINE_OWN_PREFIX=$prefix
  fi
  mkdir -p "$prefix"
  export WINEPREFIX=$prefix
  export WINEARCH=win32
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  quelt_wine_locale
  # Bash itself cannot load a locale from LOCPATH and would warn; the Wine
  # processes it starts can.
  export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 2>/dev/null
  quelt_i386_choose
  if [ "$QUELT_I386_EXECUTION" = emulated ]; then
    quelt_i386_emulate_start || return 1
  fi
  quelt_log "$(quelt_i386_describe)"
  quelt_wine_display "$user_display" || return 1
  quelt_log "Wine prefix $WINEPREFIX on display $DISPLAY"
  # A persistent server saves every later wine process the start of one.
  wineserver -p
  # About 8 s natively, about 30 s emulated; the limit is for both.
  local status=0
  quelt_wait timeout 300 wineboot -i >/dev/null 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    quelt_log "wineboot failed (status $status, $(quelt_i386_describe))"
    return 1
  fi
  quelt_wine_marlett
  if [ "${QUELT_VIRTUAL_DISPLAY:-0}" = 1 ]; then
    quelt_wine_desktop
  fi
}

quelt_wine_stop() {
  if [ -n "$QUELT_WAITING" ]; then
    kill "$QUELT_WAITING" 2>/dev/null || true
    wait "$QUELT_WAITING" 2>/dev/null || true
    QUELT_WAITING=""
  fi
  if [ -n "${WINEPREFIX:-}" ]; then
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
  fi
  local pid
  for pid in "${QUELT_WINE_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${QUELT_WINE_PIDS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  QUELT_WINE_PIDS=()
  if [ -n "$QUELT_WINE_OWN_PREFIX" ]; then
    rm -rf "$QUELT_WINE_OWN_PREFIX"
    QUELT_WINE_OWN_PREFIX=""
  fi
  # Last: until here an i386 program of the run might still start.
  quelt_i386_emulate_stop
}
