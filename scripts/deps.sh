#!/usr/bin/env bash
# Installs the packages the builds and tests need on Debian 12, as root.
# Fast when everything is there: dpkg-query decides, and apt-get runs only for
# what is missing. The package index can be out of sync with the mirror for
# minutes at a time, so the index update and the install are retried.
set -euo pipefail

Packages=(
  cmake ninja-build make g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth x11-utils imagemagick
  googletest gzip xz-utils file python3
  # what Wine loads at run time for windows and fonts (recommended, not
  # required, by its packages; installed here without the other recommends)
  libxrender1 libxrandr2 libxcursor1 libxi6 libxinerama1 libxcomposite1
  libxfixes3 libxxf86vm1 libfreetype6 libfontconfig1 libgnutls30
)

Missing=()
for Package in "${Packages[@]}"; do
  Status=$(dpkg-query -W -f='${Status}' "$Package" 2>/dev/null || true)
  [ "$Status" = "install ok installed" ] || Missing+=("$Package")
done

if [ ${#Missing[@]} -eq 0 ]; then
  echo "deps: all ${#Packages[@]} packages present"
  exit 0
fi

echo "deps: installing ${Missing[*]}"
if [ "$(id -u)" != 0 ]; then
  echo "deps: missing packages and not root: run as root, or install them: apt-get install ${Missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive

# Retries a command with growing pauses for up to about ten minutes.
Retry() {
  local Pause=5 Waited=0
  until "$@"; do
    if [ "$Waited" -ge 600 ]; then
      echo "deps: giving up on: $*" >&2
      return 1
    fi
    echo "deps: '$*' failed; retrying in ${Pause}s" >&2
    sleep "$Pause"
    Waited=$((Waited + Pause))
    Pause=$((Pause * 2 > 60 ? 60 : Pause * 2))
  done
}

# An update followed by an install: an index that changes between the two gives
# 404s on download, which another update usually mends.
UpdateAndInstall() {
  apt-get update -q || return 1
  apt-get install -y -q --no-install-recommends "${Missing[@]}"
}
Retry UpdateAndInstall
echo "deps: done"
