#!/usr/bin/env bash
# Checks the shipped stub (the i686 build): at most 96 KiB, and importing only
# DLLs that every Windows the installer supports ships. Prints one
# "PASS name" or "FAIL name: why" line per check; exits 1 when one fails.
# Usage: scripts/check-stub.sh [build/win32/src/setup/tarn-setup.exe]
set -u
cd "$(dirname "$0")/.."
Stub=${1:-build/win32/src/setup/tarn-setup.exe}
SizeBudget=98304
# System DLLs of Windows 95 and NT 4 onwards (msvcrt is the C runtime mingw
# links against, present on both since Windows 95 OSR2 and NT 4).
AllowedDlls="kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 comctl32 comdlg32 version msvcrt shlwapi winmm"
Failed=0

if [ ! -f "$Stub" ]; then
  echo "FAIL stub-size: no stub at $Stub"
  echo "FAIL stub-imports: no stub at $Stub"
  exit 1
fi

Size=$(stat -c %s "$Stub")
if [ "$Size" -le "$SizeBudget" ]; then
  echo "PASS stub-size: $Size bytes (budget $SizeBudget)"
else
  echo "FAIL stub-size: $Size bytes, over the budget of $SizeBudget by $((Size - SizeBudget))"
  Failed=1
fi

Imports=$(x86_64-w64-mingw32-objdump -p "$Stub" 2>/dev/null | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr 'A-Z' 'a-z' | tr -d '\r')
Foreign=
for Dll in $Imports; do
  case " $AllowedDlls " in
    *" ${Dll%.dll} "*) ;;
    *) Foreign="$Foreign $Dll" ;;
  esac
done
if [ -z "$Imports" ]; then
  echo "FAIL stub-imports: objdump shows no imports (not a PE file?)"
  Failed=1
elif [ -n "$Foreign" ]; then
  echo "FAIL stub-imports: imports non-system DLLs:$Foreign"
  Failed=1
else
  echo "PASS stub-imports:" $Imports
fi
exit "$Failed"
