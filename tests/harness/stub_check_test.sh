#!/usr/bin/env bash
# scripts/check-stub.sh must fail when the stub breaks its limits: a check
# that always passed would let the stub grow past 96 KiB or pick up a
# non-system DLL unseen. Builds tiny i686 programs that keep or break each
# limit and checks the verdicts. Run by ctest on the host build.
set -u
Root=$(cd "$(dirname "$0")/../.." && pwd)
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT
Failures=0
Cc=i686-w64-mingw32-gcc-posix

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
# 100,000 bytes of initialised data: over the budget of 98,304.
printf 'volatile char Ballast[100000] = {1};\nint main(void) { return Ballast[0]; }\n' >"$Work/large.c"
$Cc -static -s -o "$Work/large.exe" "$Work/large.c" || exit 1
# A program that imports a DLL of its own, as a stub linked against a
# runtime DLL would.
printf '__declspec(dllexport) int Helper(void) { return 1; }\n' >"$Work/helper.c"
$Cc -shared -s -o "$Work/tarnhelper.dll" "$Work/helper.c" || exit 1
printf 'int Helper(void);\nint main(void) { return Helper(); }\n' >"$Work/uses.c"
$Cc -s -o "$Work/uses.exe" "$Work/uses.c" "$Work/tarnhelper.dll" || exit 1
printf 'not a program\n' >"$Work/text.exe"

Expect "small system-only program passes" 0 '^PASS stub-size: [0-9]+ bytes \(budget 98304\)' "$Work/small.exe"
Expect "small system-only program: imports pass" 0 '^PASS stub-imports: .*kernel32.dll' "$Work/small.exe"
Expect "over the budget fails the size" 1 '^FAIL stub-size: [0-9]+ bytes, over the budget of 98304' "$Work/large.exe"
Expect "over the budget keeps the imports check" 1 '^PASS stub-imports' "$Work/large.exe"
Expect "a foreign DLL fails the imports" 1 '^FAIL stub-imports: imports non-system DLLs: tarnhelper.dll' "$Work/uses.exe"
Expect "not a program fails the imports" 1 '^FAIL stub-imports: objdump shows no imports' "$Work/text.exe"
Expect "a missing stub fails both" 1 '^FAIL stub-size: no stub' "$Work/missing.exe"

[ "$Failures" = 0 ]
