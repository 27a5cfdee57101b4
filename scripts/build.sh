#!/usr/bin/env bash
# Configures (once) and builds the three builds with Ninja:
#   build/host   Linux: tarnpack, the portable core and its unit tests
#   build/win32  i686 mingw: the shipped stub, and the archive reader's tests
#                (the one part whose code differs on 32-bit)
#   build/win64  x86_64 mingw: the stub and every test that runs under Wine
# A second run only rebuilds what changed. Prints the stub's size at the end.
# Usage: scripts/build.sh [host|win32|win64 ...]   (default: all three)
#        scripts/build.sh win64:tarn-setup          (one target of a build)
set -euo pipefail
cd "$(dirname "$0")/.."
Root=$(pwd)
Jobs=${TARN_JOBS:-$(nproc)}

# Configure a build directory unless it already has a Ninja build file made
# with the same options (kept in .tarn-configure). A directory configured
# with other options, another generator or toolchain is started anew.
Configure() {
  local Dir=$1; shift
  local Options="$*"
  if [ -f "$Dir/build.ninja" ] && [ "$(cat "$Dir/.tarn-configure" 2>/dev/null)" = "$Options" ]; then
    return 0
  fi
  mkdir -p "$Dir"
  rm -rf "$Dir/CMakeCache.txt" "$Dir/CMakeFiles" "$Dir/.tarn-configure"
  cmake -S "$Root" -B "$Dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >"$Dir.configure.log" 2>&1 || {
    cat "$Dir.configure.log" >&2
    echo "build: configuring $Dir failed" >&2
    return 1
  }
  rm -f "$Dir.configure.log"
  printf '%s\n' "$Options" >"$Dir/.tarn-configure"
}

BuildOne() {
  local Name=${1%%:*} Target=
  [[ "$1" == *:* ]] && Target=${1#*:}
  case "$Name" in
    host)
      Configure build/host ;;
    win32)
      Configure build/win32 -DCMAKE_TOOLCHAIN_FILE="$Root/cmake/toolchain-i686-mingw.cmake" ;;
    win64)
      Configure build/win64 -DCMAKE_TOOLCHAIN_FILE="$Root/cmake/toolchain-x86_64-mingw.cmake" ;;
    *)
      echo "build: unknown build '$Name' (host, win32, win64)" >&2; return 2 ;;
  esac
  echo "build: $Name${Target:+ ($Target)}"
  cmake --build "build/$Name" -j "$Jobs" ${Target:+--target "$Target"}
}

Builds=("$@")
[ ${#Builds[@]} -gt 0 ] || Builds=(host win32 win64)
mkdir -p build
for Name in "${Builds[@]}"; do
  BuildOne "$Name"
done

Stub=build/win32/src/setup/tarn-setup.exe
if [ -f "$Stub" ]; then
  echo "build: stub $Stub is $(stat -c %s "$Stub") bytes (budget 102400)"
elif [[ " ${Builds[*]} " == *" win32"[\ :]* ]]; then
  echo "build: the win32 build made no stub ($Stub)"
fi
