#!/usr/bin/env bash
# Checks the stub programs. For each one, one "PASS name" or "FAIL name: why"
# line per check; exits 1 when one fails.
#   size       the i686 stub users ship: at most SizeBudget bytes (its
#              size when the budget was set, with a margin of about 4 KB);
#              its x86_64 twin: at most 96 KiB
#   imports    only DLLs on Windows' KnownDLLs list, which Windows always
#              takes from its system folder: a DLL of another name planted
#              beside the setup would be loaded first from there
#   seams      no test seam: the names of the test variables (TARN_TEST_...)
#              appear only in test builds
#   hardening  DEP and ASLR in the header: NX_COMPAT, DYNAMIC_BASE with a
#              relocation table, and HIGH_ENTROPY_VA for x86_64 programs
# Checks are named stub-* for an i686 program and stub-x64-* for x86_64.
# Usage: scripts/check-stub.sh [STUB...]
#        (default: the i686 stub and its x86_64 twin from scripts/build.sh)
set -u
cd "$(dirname "$0")/.."
SizeBudget=81920
SizeBudgetX64=98304
# The KnownDLLs of Windows 7 to 11 that a stub might use (the list is in
# HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs).
# comctl32 and version are not among them: the stub loads those at run time
# from the system folder by full path.
KnownDlls="kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 comdlg32 shlwapi msvcrt"
# PE header bits (Characteristics, DllCharacteristics).
RelocsStripped=0x0001
HighEntropyVa=0x0020
DynamicBase=0x0040
NxCompat=0x0100
Failed=0

Pass() { echo "PASS $*"; }
Fail() { echo "FAIL $*"; Failed=1; }

CheckStub() {
  local Stub=$1 Label=stub Header Magic DllFlags Flags RelocSize Size Budget Imports Dll Foreign Missing
  local Checks="size imports seams hardening"
  if [ ! -f "$Stub" ]; then
    for Check in $Checks; do Fail "$Label-$Check: no stub at $Stub"; done
    return
  fi
  Header=$(x86_64-w64-mingw32-objdump -p "$Stub" 2>/dev/null | tr -d '\r')
  Magic=$(sed -n 's/^Magic[[:space:]]*\([0-9a-f]*\).*/\1/p' <<<"$Header")
  [ "$Magic" = 020b ] && Label=stub-x64

  Size=$(stat -c %s "$Stub")
  Budget=$SizeBudget
  [ "$Label" = stub-x64 ] && Budget=$SizeBudgetX64
  if [ "$Size" -le "$Budget" ]; then
    Pass "$Label-size: $Size bytes (budget $Budget)"
  else
    Fail "$Label-size: $Size bytes, over the budget of $Budget by $((Size - Budget))"
  fi

  Imports=$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$Header" | tr 'A-Z' 'a-z')
  Foreign=
  for Dll in $Imports; do
    case " $KnownDlls " in
      *" ${Dll%.dll} "*) ;;
      *) Foreign="$Foreign $Dll" ;;
    esac
  done
  if [ -z "$Imports" ]; then
    Fail "$Label-imports: objdump shows no imports (not a PE file?)"
  elif [ -n "$Foreign" ]; then
    Fail "$Label-imports: imports DLLs that are not KnownDLLs:$Foreign"
  else
    Pass "$Label-imports:" $Imports
  fi

  if grep -q -a 'TARN_TEST_' "$Stub"; then
    Fail "$Label-seams: holds a test seam ($(grep -a -o 'TARN_TEST_[A-Z_]*' "$Stub" | sort -u | paste -s -d ' '))"
  else
    Pass "$Label-seams: no test seam"
  fi

  DllFlags=0x$(sed -n 's/^DllCharacteristics[[:space:]]*\([0-9a-f]*\).*/\1/p' <<<"$Header")
  Flags=$(sed -n 's/^Characteristics[[:space:]]*\(0x[0-9a-f]*\).*/\1/p' <<<"$Header")
  RelocSize=$(sed -n 's/^Entry 5 [0-9a-f]* \([0-9a-f]*\) Base Relocation Directory.*/\1/p' <<<"$Header")
  RelocSize=0x${RelocSize:-0}
  if [ "$DllFlags" = 0x ] || [ -z "$Flags" ]; then
    Fail "$Label-hardening: no PE header"
    return
  fi
  Missing=
  (( DllFlags & NxCompat )) || Missing="$Missing NX_COMPAT"
  (( DllFlags & DynamicBase )) || Missing="$Missing DYNAMIC_BASE"
  if (( RelocSize == 0 || (Flags & RelocsStripped) )); then Missing="$Missing relocation-table"; fi
  if [ "$Label" = stub-x64 ] && ! (( DllFlags & HighEntropyVa )); then Missing="$Missing HIGH_ENTROPY_VA"; fi
  if [ -n "$Missing" ]; then
    Fail "$Label-hardening: lacks$Missing (DllCharacteristics $DllFlags)"
  else
    Pass "$Label-hardening: DllCharacteristics $DllFlags, relocation table $((RelocSize)) bytes"
  fi
}

Stubs=("$@")
[ ${#Stubs[@]} -gt 0 ] || Stubs=(build/win32/src/setup/tarn-setup.exe build/win64/src/setup/tarn-setup.exe)
for Stub in "${Stubs[@]}"; do
  CheckStub "$Stub"
done
exit "$Failed"
