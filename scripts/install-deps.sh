#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, and only
# what is missing, so that a second run costs a second.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

packages=(
  wine wine32:i386 wine64 libwine libwine:i386 fonts-wine
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  cmake make googletest xvfb xauth x11-utils fonts-wqy-zenhei locales imagemagick procps
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    quelt_log "installing packages needs root: run this as root, or install sudo"
    exit 1
  fi
}

# Adds bookworm-backports from the same mirror as the machine's own bookworm
# entry, in either form of apt's sources, unless apt knows it already.
add_backports() {
  if apt-cache policy 2>/dev/null | grep -q ' bookworm-backports/main '; then
    return
  fi
  local uri
  uri=$(backports_mirror)
  if [ -z "$uri" ]; then
    quelt_log "no bookworm entry in /etc/apt/sources.list or /etc/apt/sources.list.d to take the mirror from; add bookworm-backports (deb http://deb.debian.org/debian bookworm-backports main) and run again"
    exit 1
  fi
  local keyring=/usr/share/keyrings/debian-archive-keyring.gpg options=""
  [ -f "$keyring" ] && options="[signed-by=$keyring] "
  quelt_log "adding bookworm-backports from $uri"
  echo "deb ${options}$uri bookworm-backports main" \
    | as_root tee /etc/apt/sources.list.d/quelt-bookworm-backports.list >/dev/null
  # A suite that cannot be fetched is a warning to apt-get update; what
  # counts is whether apt knows the suite afterwards.
  as_root apt-get update -q || true
  if ! apt-cache policy 2>/dev/null | grep -q ' bookworm-backports/main '; then
    quelt_log "bookworm-backports cannot be reached at $uri (apt-get update said so above); the emulated way needs its qemu-user"
    exit 1
  fi
}

# The URI of the first "deb" entry for suite bookworm.
backports_mirror() {
  local file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    awk '$1 == "deb" { i = 2; if ($i ~ /^\[/) while ($i !~ /\]$/) i++; if ($i ~ /^\[/ || $i ~ /\]$/) i++;
                       if ($(i + 1) == "bookworm") { print $i; exit } }' "$file"
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # Stanzas are separated by blank lines; fields may come in any order.
    awk 'BEGIN { RS = ""; FS = "\n" }
         { types = ""; uris = ""; suites = ""; enabled = "yes"
           for (n = 1; n <= NF; n++) {
             if ($n ~ /^Types:/) types = $n
             else if ($n ~ /^URIs:/) uris = $n
             else if ($n ~ /^Suites:/) suites = $n
             else if ($n ~ /^Enabled:/) enabled = $n
           }
           if (types ~ /[ \t]deb([ \t]|$)/ && (" " suites " ") ~ /[ \t]bookworm[ \t]/ && enabled !~ /no/) {
             split(uris, u, /[ \t]+/); print u[2]; exit } }' "$file"
  done | head -n1
}

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q 'install ok installed' \
    || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  quelt_log "installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Where the kernel runs no 32-bit code, qemu-user from bookworm-backports runs
# Wine (see i386.sh); a machine that runs it natively gets nothing more.
source "$QUELT_ROOT/scripts/i386.sh"
quelt_i386_choose
if [ "$QUELT_I386_EXECUTION" = emulated ] && ! quelt_i386_qemu_ready; then
  quelt_log "i386 code will be emulated ($QUELT_I386_REASON): installing qemu-user from bookworm-backports"
  add_backports
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    -t bookworm-backports qemu-user \
    || { quelt_log "could not install qemu-user from bookworm-backports (see apt's message above)"; exit 1; }
fi
