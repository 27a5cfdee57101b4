#!/usr/bin/env bash
# Builds what an installation needs and installs it under PREFIX:
#   PREFIX/bin/tarnpack
#   PREFIX/share/man/man1/tarnpack.1
#   PREFIX/share/tarn/tarn-setup.exe       the i686 stub users ship, where
#                                          tarnpack finds it by itself
#   PREFIX/share/tarn/tarn-setup-x64.exe   its x86_64 twin (for --stub)
# Each build is installed with `cmake --install`; the x86_64 build only makes
# its stub here, not its tests.
# Usage: scripts/install.sh [PREFIX]   (default /usr/local)
set -euo pipefail
cd "$(dirname "$0")/.."
Prefix=${1:-/usr/local}

bash scripts/build.sh host win32 win64:tarn-setup
for Build in host win32 win64; do
  cmake --install "build/$Build" --prefix "$Prefix"
done
echo "install: tarnpack is $Prefix/bin/tarnpack; try: tarnpack --help, man tarnpack"
