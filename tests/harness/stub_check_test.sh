#!/usr/bin/env bash
# scripts/check-stub.sh must fail when the stub breaks its limits: a check
# that always passed would let the stub grow past its budget, import a DLL that
# is not a KnownDLL, ship a test seam or lose DEP and ASLR unseen. Builds
# tiny i686 and x86_64 programs that keep or break each limit and checks the
# verdicts. Run by ctest on the host build.
set -u
Root=$(cd "$(dirname "$0")/../.." && pwd)
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT
Failures=0
Cc=i686-w64-mingw32-gcc-posix
Cc64=x86_64-w64-mingw32-gcc-posix

Expect() {   # Expect NAME EXIT-CODE REGEX FILE...: the check of FILE gives both
  local Name=$1 Code=$2 Pattern=$3 Output Result
  shift 3
  Output=$(bash "$Root/scripts/check-stub.sh" "$@")
  Result=$?
  if [ "$Result" != "$Code" ] || ! grep -q -E -- "$Pattern" <<<"$Output"; then
    echo "FAIL $Name: exit code $Result (expected $Code), output:"
    printf '%s\n' "$Output" | sed 's/^/    /'
    Failures=$((Failures + 1))
  else
    echo "ok   $Name"
  fi
}

printf 'int main(void) { return 0; }\n' >"$Work/small.c"
$Cc -static -s -o "$Work/small.exe" "$Work/small.c" || exit 1
# 110,000 bytes of initialised data: over both budgets.
printf 'volatile char Ballast[110000] = {1};\nint main(void) { return Ballast[0]; }\n' >"$Work/large.c"
$Cc -static -s -o "$Work/large.exe" "$Work/large.c" || exit 1
$Cc64 -static -s -o "$Work/large64.exe" "$Work/large.c" || exit 1
# A program that imports a DLL of its own, as a stub linked against a
# runtime DLL would.
printf '__declspec(dllexport) int Helper(void) { return 1; }\n' >"$Work/helper.c"
$Cc -shared -s -o "$Work/tarnhelper.dll" "$Work/helper.c" || exit 1
printf 'int Helper(void);\nint main(void) { return Helper(); }\n' >"$Work/uses.c"
$Cc -s -o "$Work/uses.exe" "$Work/uses.c" "$Work/tarnhelper.dll" || exit 1
printf 'not a program\n' >"$Work/text.exe"
# comctl32 is a system DLL but no KnownDLL: Windows looks beside the program first.
printf '#include <windows.h>\n#include <commctrl.h>\nint main(void) { InitCommonControls(); return 0; }\n' >"$Work/controls.c"
$Cc -static -s -o "$Work/controls.exe" "$Work/controls.c" -lcomctl32 || exit 1
# A test seam's variable name, as a test build holds it.
printf 'const char* volatile Seam = "TARN_TEST_RESTART_LOG";\nint main(void) { return Seam[0] == 0; }\n' >"$Work/seam.c"
$Cc -static -s -o "$Work/seam.exe" "$Work/seam.c" || exit 1
# The same small program without DEP, without ASLR, without relocations.
$Cc -static -s -Wl,--disable-nxcompat -o "$Work/nodep.exe" "$Work/small.c" || exit 1
$Cc -static -s -Wl,--disable-dynamicbase -o "$Work/noaslr.exe" "$Work/small.c" || exit 1
$Cc -static -s -Wl,--disable-reloc-section -o "$Work/norelocs.exe" "$Work/small.c" || exit 1
# x86_64: high-entropy ASLR is required as well.
$Cc64 -static -s -Wl,--high-entropy-va -o "$Work/small64.exe" "$Work/small.c" || exit 1
$Cc64 -static -s -Wl,--disable-high-entropy-va -o "$Work/lowentropy64.exe" "$Work/small.c" || exit 1

Expect "small system-only program passes" 0 '^PASS stub-size: [0-9]+ bytes \(budget 81920\)' "$Work/small.exe"
Expect "small system-only program: imports pass" 0 '^PASS stub-imports: .*kernel32.dll' "$Work/small.exe"
Expect "over the budget fails the size" 1 '^FAIL stub-size: [0-9]+ bytes, over the budget of 81920' "$Work/large.exe"
Expect "x86_64 program has the twin's budget" 0 '^PASS stub-x64-size: [0-9]+ bytes \(budget 98304\)' "$Work/small64.exe"
Expect "x86_64 over its budget fails the size" 1 '^FAIL stub-x64-size: [0-9]+ bytes, over the budget of 98304' "$Work/large64.exe"
Expect "over the budget keeps the imports check" 1 '^PASS stub-imports' "$Work/large.exe"
Expect "a foreign DLL fails the imports" 1 '^FAIL stub-imports: imports DLLs that are not KnownDLLs: tarnhelper.dll' "$Work/uses.exe"
Expect "comctl32 fails the imports" 1 '^FAIL stub-imports: imports DLLs that are not KnownDLLs: comctl32.dll' "$Work/controls.exe"
Expect "not a program fails the imports" 1 '^FAIL stub-imports: objdump shows no imports' "$Work/text.exe"
Expect "a missing stub fails every check" 1 '^FAIL stub-size: no stub' "$Work/missing.exe"
Expect "a missing stub fails the hardening" 1 '^FAIL stub-hardening: no stub' "$Work/missing.exe"
Expect "small program has no seam" 0 '^PASS stub-seams' "$Work/small.exe"
Expect "a seam's variable fails the seams" 1 '^FAIL stub-seams: holds a test seam \(TARN_TEST_RESTART_LOG\)' "$Work/seam.exe"
Expect "small program is hardened" 0 '^PASS stub-hardening: DllCharacteristics 0x00000140, relocation table [1-9][0-9]* bytes' "$Work/small.exe"
Expect "no DEP fails the hardening" 1 '^FAIL stub-hardening: lacks NX_COMPAT \(' "$Work/nodep.exe"
Expect "no ASLR fails the hardening" 1 '^FAIL stub-hardening: lacks DYNAMIC_BASE \(' "$Work/noaslr.exe"
Expect "no relocations fail the hardening" 1 '^FAIL stub-hardening: lacks DYNAMIC_BASE relocation-table' "$Work/norelocs.exe"
Expect "x86_64 program is checked as such" 0 '^PASS stub-x64-hardening: DllCharacteristics 0x00000160' "$Work/small64.exe"
Expect "x86_64 without high entropy fails" 1 '^FAIL stub-x64-hardening: lacks HIGH_ENTROPY_VA' "$Work/lowentropy64.exe"
Expect "every stub given is checked" 1 '^FAIL stub-x64-hardening: lacks HIGH_ENTROPY_VA' "$Work/small.exe" "$Work/lowentropy64.exe"

[ "$Failures" = 0 ]
