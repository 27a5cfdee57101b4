#!/usr/bin/env bash
# Installs the packages the builds and tests need on Debian 12, as root.
# Fast when everything is there: dpkg-query decides, and apt-get runs only for
# what is missing. The package index can be out of sync with the mirror for
# minutes at a time, so the index update and the install are retried.
#
# 32-bit Wine (wine32:i386, for running the i686 setup users ship) is added
# where the machine runs 32-bit code, which a tiny i386 program made here
# shows; elsewhere the script goes on without it and says so in one line.
# Environment:
#   TARN_WINE32=no       pretend the machine runs no 32-bit code
#   TARN_WINE32=yes      take for granted that it does (no probe)
#   TARN_DEPS_DRY_RUN=1  print the decisions and what would be installed,
#                        change nothing (for tests of this script)
set -euo pipefail

Packages=(
  cmake ninja-build make g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth x11-utils imagemagick
  googletest gzip xz-utils file python3 man-db
  # what Wine loads at run time for windows and fonts (recommended, not
  # required, by its packages; installed here without the other recommends)
  libxrender1 libxrandr2 libxcursor1 libxi6 libxinerama1 libxcomposite1
  libxfixes3 libxxf86vm1 libfreetype6 libfontconfig1 libgnutls30
)
DryRun=${TARN_DEPS_DRY_RUN:-}

# Runs32BitCode: whether the kernel runs i386 programs. The probe is a
# complete static i386 ELF program of 96 bytes that calls exit(42): the ELF
# header, one loadable segment at 0x08048000 and the code at 0x08048054:
#   mov eax, 1 (exit); mov ebx, 42; int 0x80
# A kernel without 32-bit emulation refuses it ("Exec format error").
Runs32BitCode() {
  local Probe Result
  Probe=$(mktemp)
  printf '%b' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
    '\x00\x00\x00\x00' \
    '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$Probe"
  chmod +x "$Probe"
  Result=0
  "$Probe" 2>/dev/null || Result=$?
  rm -f "$Probe"
  [ "$Result" = 42 ]
}

Want32=no
case "${TARN_WINE32:-}" in
  no) echo "deps: going on without 32-bit Wine (TARN_WINE32=no): the end-to-end tests run the x86_64 setup" ;;
  yes) Want32=yes ;;
  *)
    if Runs32BitCode; then
      Want32=yes
    else
      echo "deps: this machine runs no 32-bit code: going on without 32-bit Wine (the end-to-end tests run the x86_64 setup)"
    fi
    ;;
esac
NeedArchitecture=no
if [ "$Want32" = yes ]; then
  Packages+=(wine32:i386)
  dpkg --print-foreign-architectures | grep -q -x i386 || NeedArchitecture=yes
fi

# Installed PACKAGE[:ARCH]: installed for that architecture (the machine's
# own when none is named; "all" packages count for every one). With i386
# added, dpkg-query lists a library once per architecture.
NativeArchitecture=$(dpkg --print-architecture)
Installed() {
  local Name=${1%%:*} Architecture=${1#*:}
  [ "$Architecture" != "$1" ] || Architecture=$NativeArchitecture
  dpkg-query -W -f='${Architecture} ${Status}\n' "$Name" 2>/dev/null |
    grep -q -x -E "($Architecture|all) install ok installed"
}

Missing=()
for Package in "${Packages[@]}"; do
  Installed "$Package" || Missing+=("$Package")
done

if [ -n "$DryRun" ]; then
  echo "deps: plan: 32-bit Wine $Want32; add the architecture i386 $NeedArchitecture; install ${Missing[*]:-nothing}"
  exit 0
fi

if [ ${#Missing[@]} -eq 0 ]; then
  echo "deps: all ${#Packages[@]} packages present"
  exit 0
fi

echo "deps: installing ${Missing[*]}"
if [ "$(id -u)" != 0 ]; then
  Hint="apt-get install ${Missing[*]}"
  [ "$NeedArchitecture" = no ] || Hint="dpkg --add-architecture i386; apt-get update; $Hint"
  echo "deps: missing packages and not root: run as root, or install them: $Hint" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ "$NeedArchitecture" = yes ]; then
  dpkg --add-architecture i386
fi

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
# 404s on download, which another update usually mends. The update fetches the
# index of every architecture, the i386 one included once it is added.
UpdateAndInstall() {
  apt-get update -q || return 1
  apt-get install -y -q --no-install-recommends "${Missing[@]}"
}
Retry UpdateAndInstall
echo "deps: done"
