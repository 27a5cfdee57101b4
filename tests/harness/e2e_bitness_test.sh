#!/usr/bin/env bash
# The end-to-end tests' bitness helpers (tests/e2e/lib.sh) without Wine:
# the stub chosen and its bitness, the registry key a 32-bit setup's values
# land in, and which of the prefix's programs answers for the setup (a stand-in
# for wine64 records the call). On a machine that runs no 32-bit code the
# end-to-end tests never take the i686 branch, so it is checked here.
# Run by ctest on the host build; exit code 77 (a skip) until the Windows
# builds have made their stubs.
set -u
Root=$(cd "$(dirname "$0")/../.." && pwd)
TARN_ROOT=$Root
TARN_WIN_BUILD=$Root/build/win64
Stub32=$Root/build/win32/src/setup/tarn-setup.exe
Stub64=$TARN_WIN_BUILD/src/setup/tarn-setup.exe
Failures=0
for Stub in "$Stub32" "$Stub64"; do
  if [ ! -f "$Stub" ]; then
    echo "skipped: no stub at $Stub yet (scripts/build.sh win32 win64 makes it)"
    exit 77
  fi
done
# shellcheck source=../e2e/lib.sh
E2eLibraryOnly=1 source "$Root/tests/e2e/lib.sh"

Expect() {   # Expect WHAT GOT WANTED
  if [ "$2" != "$3" ]; then
    echo "FAIL $1: got '$2', expected '$3'"
    Failures=$((Failures + 1))
  fi
}

Expect "bitness of the i686 stub" "$(E2ePeBits "$Stub32")" 32
Expect "bitness of the x86_64 stub" "$(E2ePeBits "$Stub64")" 64
Expect "bitness of a text file" "$(E2ePeBits "$Root/README.md"; echo "exit $?")" "exit 1"

# Choose STUB WINE32: what E2eChooseStub makes of a given TARN_STUB (empty:
# none) and the session's TARN_WINE32.
Choose() {
  TARN_STUB=$1 TARN_WINE32=$2
  E2eChooseStub
  echo "$TARN_STUB $E2eSetupBits"
}
Expect "32-bit Wine there" "$(Choose '' yes)" "$Stub32 32"
Expect "no 32-bit Wine" "$(Choose '' no)" "$Stub64 64"
Expect "a given stub keeps its own bitness" "$(Choose "$Stub32" no)" "$Stub32 32"

E2eSetupBits=32
Expect "HKLM\\Software, 32-bit" "$(E2eRegKey 'HKLM\Software\TarnE2E\Payload')" 'HKLM\Software\Wow6432Node\TarnE2E\Payload'
Expect "HKLM\\SOFTWARE in capitals, 32-bit" "$(E2eRegKey 'HKLM\SOFTWARE\Tarn Demo')" 'HKLM\Software\Wow6432Node\Tarn Demo'
Expect "Wow6432Node already, 32-bit" "$(E2eRegKey 'HKLM\Software\Wow6432Node\X')" 'HKLM\Software\Wow6432Node\X'
Expect "HKCU\\Software, 32-bit" "$(E2eRegKey 'HKCU\Software\TarnE2E')" 'HKCU\Software\TarnE2E'
Expect "HKLM\\System, 32-bit" "$(E2eRegKey 'HKLM\System\CurrentControlSet')" 'HKLM\System\CurrentControlSet'
E2eSetupBits=64
Expect "HKLM\\Software, 64-bit" "$(E2eRegKey 'HKLM\Software\TarnE2E\Payload')" 'HKLM\Software\TarnE2E\Payload'

# A stand-in for wine64: notes the program asked for and answers as reg.exe does.
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT
TARN_WINE=$Work/wine
cat >"$TARN_WINE" <<'FAKE'
#!/bin/sh
printf '%s\n' "$1" >>"$(dirname "$0")/calls"
printf '\r\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\r\n'
printf '    ProgramFilesDir    REG_SZ    C:\\Program Files (x86)\r\n\r\n'
FAKE
chmod +x "$TARN_WINE"
E2eSetupBits=32 E2eProgramFilesValue=
Expect "%ProgramFiles% as reg.exe gives it" "$(E2eProgramFiles)" 'C:\Program Files (x86)'
Expect "the program asked, 32-bit" "$(tail -n 1 "$Work/calls")" 'C:\windows\syswow64\reg.exe'
E2eSetupBits=64
E2eSystemTool cmd /c exit >/dev/null
Expect "the program asked, 64-bit" "$(tail -n 1 "$Work/calls")" 'C:\windows\system32\cmd.exe'

[ "$Failures" = 0 ] && echo "ok: stub choice, bitness, registry keys and system programs"
[ "$Failures" = 0 ]
