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
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
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
