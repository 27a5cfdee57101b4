#!/usr/bin/env bash
# The installation as a Linux user makes it: `cmake --install` of the three
# builds into a fresh prefix, then the demo built by the installed tarnpack
# alone (no --stub, no TARN_STUB), `man tarnpack` found through PATH, the
# version the same in tarnpack and in the stub's VERSIONINFO, and the build
# options of `tarnpack build --help` the same as the manual page's.
# Run by ctest on the host build. Exit code 77 (a skip) when a Windows build
# has made no stub yet.
# Usage: install_test.sh HOST-BUILD WIN32-BUILD WIN64-BUILD VERSION
set -u
Root=$(cd "$(dirname "$0")/../.." && pwd)
HostBuild=$1 Win32Build=$2 Win64Build=$3 Version=$4
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT
Prefix=$Work/prefix
Failures=0

Fail() {
  echo "FAIL $*"
  Failures=$((Failures + 1))
}

for Stub in "$Win32Build/src/setup/tarn-setup.exe" "$Win64Build/src/setup/tarn-setup.exe"; do
  if [ ! -f "$Stub" ]; then
    echo "skipped: no stub at $Stub yet (scripts/build.sh win32 win64 makes it)"
    exit 77
  fi
done

for Build in "$HostBuild" "$Win32Build" "$Win64Build"; do
  cmake --install "$Build" --prefix "$Prefix" >>"$Work/install.log" 2>&1 || {
    cat "$Work/install.log"
    Fail "cmake --install $Build"
    exit 1
  }
done
for File in bin/tarnpack share/tarn/tarn-setup.exe share/tarn/tarn-setup-x64.exe share/man/man1/tarnpack.1; do
  [ -f "$Prefix/$File" ] || Fail "not installed: PREFIX/$File"
done
cmp -s "$Prefix/share/tarn/tarn-setup.exe" "$Win32Build/src/setup/tarn-setup.exe" ||
  Fail "PREFIX/share/tarn/tarn-setup.exe is not the i686 stub"

# The installed tarnpack alone, as a user's shell finds it.
Tarnpack() {
  env -u TARN_STUB PATH="$Prefix/bin:/usr/bin:/bin" tarnpack "$@"
}
# The demo names its product, so its stub gets resources of its own; a copy
# without those keys must start with the installed stub byte for byte.
cp -r "$Root/examples/demo" "$Work/plain"
sed -i -E '/^(ProductName|ProductVersion|Publisher|Description|Copyright|Icon|ExecutionLevel)=/d' \
  "$Work/plain/Presetup/Tarn.ini"
if Tarnpack build "$Root/examples/demo" -o "$Work/setup.exe" >"$Work/build.log" 2>&1 &&
  Tarnpack build "$Work/plain" -o "$Work/plain.exe" >>"$Work/build.log" 2>&1; then
  StubSize=$(stat -c %s "$Prefix/share/tarn/tarn-setup.exe")
  cmp -s -n "$StubSize" "$Work/plain.exe" "$Prefix/share/tarn/tarn-setup.exe" ||
    Fail "a setup without resources of its own does not start with the installed stub"
  Tarnpack test "$Work/setup.exe" >/dev/null 2>&1 || Fail "tarnpack test of the demo setup"
else
  cat "$Work/build.log"
  Fail "the installed tarnpack could not build the demo without --stub"
fi

# man finds the page through PATH (PREFIX/bin gives PREFIX/share/man), and
# the page renders without warnings.
Page=$(env -u MANPATH PATH="$Prefix/bin:$PATH" man -w tarnpack 2>&1)
[ "$Page" = "$Prefix/share/man/man1/tarnpack.1" ] || Fail "man -w tarnpack: got '$Page'"
Warnings=$(man --warnings -E UTF-8 -l "$Prefix/share/man/man1/tarnpack.1" 2>&1 >/dev/null)
[ -z "$Warnings" ] || Fail "the manual page has warnings: $Warnings"

# Help and version: on stdout, exit code 0.
for Words in --help -h help "build --help" "build -h"; do
  # shellcheck disable=SC2086
  Out=$(Tarnpack $Words 2>"$Work/err")
  Result=$?
  [ "$Result" = 0 ] && [ -n "$Out" ] && [ ! -s "$Work/err" ] ||
    Fail "tarnpack $Words: exit code $Result, $(wc -c <<<"$Out") bytes on stdout, stderr '$(cat "$Work/err")'"
done
Tarnpack frobnicate >/dev/null 2>&1
[ $? = 2 ] || Fail "an unknown command no longer gives exit code 2"
Out=$(Tarnpack --version)
[ "$Out" = "tarnpack $Version" ] || Fail "tarnpack --version: got '$Out', expected 'tarnpack $Version'"
# VERSIONINFO strings are UTF-16: FileVersion and ProductVersion.
Count=$(strings -e l "$Prefix/share/tarn/tarn-setup.exe" | grep -c -x -F "$Version")
[ "$Count" = 2 ] || Fail "the stub's VERSIONINFO does not carry $Version twice (found $Count)"

# Every option of `build --help` in the manual page's BUILD OPTIONS, and back.
HelpOptions=$(Tarnpack build --help | grep -oE '^  +(-[a-z]|--[a-z-]+)(, --[a-z-]+)?' | grep -oE -- '-[a-z-]+' | sort -u)
ManOptions=$(MANWIDTH=200 man -l "$Prefix/share/man/man1/tarnpack.1" 2>/dev/null |
  sed -n '/^BUILD OPTIONS/,/^[A-Z]/p' | grep -oE '^       (-[a-z]|--[a-z-]+)(, --[a-z-]+)?' |
  grep -oE -- '-[a-z-]+' | sort -u)
[ -n "$HelpOptions" ] && [ "$HelpOptions" = "$ManOptions" ] ||
  Fail "build options differ: --help lists [$(echo $HelpOptions)], the manual page [$(echo $ManOptions)]"

[ "$Failures" = 0 ] && echo "ok: installed, built the demo, man page and help agree"
[ "$Failures" = 0 ]
