# Saves a picture of one top-level window of the Wine virtual desktop.
# Sourced; needs the environment of wine-env.sh.
#
#   quelt_screenshot "window title" out.png [timeout seconds]
quelt_screenshot() {
  local title=$1 out=$2 limit=${3:-30} geometry="" waited=0
  while [ -z "$geometry" ] && [ "$waited" -lt "$limit" ]; do
    sleep 1
    waited=$((waited + 1))
    # Inside the virtual desktop every window is a child of the desktop's X
    # window, which sits at 0,0, so its geometry is in screen coordinates.
    geometry=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$title\":" | head -n1 \
      | grep -oE '[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+' | head -n1)
  done
  if [ -z "$geometry" ]; then
    quelt_log "no window \"$title\" within ${limit}s"
    return 1
  fi
  sleep 1  # let it finish painting
  mkdir -p "$(dirname "$out")"
  import -display "$DISPLAY" -window root -crop "$geometry" +repage "$out"
}
