# Saves a picture of one top-level window of the Wine virtual desktop.
# Sourced; needs the environment of wine-env.sh.
#
#   quelt_screenshot "window title" out.png [program pid] [timeout seconds]
#
# With the pid of the program that shows the window, a program that ended
# before its window appeared is reported at once, with its exit status.
quelt_screenshot() {
  # The main window is up in about 1 s natively and about 6 s under qemu
  # (a first start there also warms qemu up); the default limit is for both.
  local title=$1 out=$2 program=${3:-} limit=${4:-90} geometry="" previous="" started=$SECONDS
  while :; do
    # Inside the virtual desktop every window is a child of the desktop's X
    # window, which sits at 0,0, so its geometry is in screen coordinates.
    # No match yet is no failure.
    geometry=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$title\":" \
      | grep -oE '[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+' | head -n1) || true
    # A dialog appears first where it was made and then moves to its place:
    # take it once it has stood still for a second.
    [ -z "$geometry" ] || [ "$geometry" != "$previous" ] || break
    previous=$geometry
    if [ -n "$program" ] && ! kill -0 "$program" 2>/dev/null; then
      local status=0
      wait "$program" 2>/dev/null || status=$?
      quelt_log "no window \"$title\": the program ended (status $status) before showing it"
      return 1
    fi
    if [ $((SECONDS - started)) -ge "$limit" ]; then
      quelt_log "no window \"$title\" within ${limit}s ($(quelt_i386_describe)); the program is still running"
      return 1
    fi
    sleep 1
  done
  # Let it finish painting, which takes longer under qemu.
  if [ "$QUELT_I386_EXECUTION" = native ]; then sleep 1; else sleep 3; fi
  mkdir -p "$(dirname "$out")"
  import -display "$DISPLAY" -window root -crop "$geometry" +repage "$out"
}
