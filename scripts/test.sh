#!/usr/bin/env bash
# The whole test run: installs what is missing, builds the three builds, then
#   1. host unit tests (ctest in build/host)
#   2. the stubs: size, imports, seams and header flags (scripts/check-stub.sh)
#   3. in one private Wine session: the Win32 unit tests (ctest in
#      build/win64, run under wine64) and every end-to-end test tests/e2e/*.sh
#   4. a short fuzz run when the tree has fuzz targets (clang, build/fuzz)
# and ends with the line "N passed, N failed"; the exit code is 1 when any
# test failed. Logs, screenshots and fuzz findings go to build/test-artifacts/.
# Usage: scripts/test.sh          (run as root from anywhere in the repo)
# Environment: TARN_FUZZ_SECONDS (default 60; 0 skips the fuzz run).
set -u
cd "$(dirname "$0")/.."
Root=$(pwd)
Artifacts=$Root/build/test-artifacts
FuzzSeconds=${TARN_FUZZ_SECONDS:-60}
Passed=0
Failed=0
FailedNames=()
RunStart=$SECONDS

PhaseStart=$SECONDS
Phase() {
  printf '\n=== %s\n' "$*"
  PhaseStart=$SECONDS
}
PhaseDone() {
  printf -- '--- %s: %d s\n' "$1" $((SECONDS - PhaseStart))
}

Count() {   # Count PASSED FAILED [NAME-OF-FAILURE]
  Passed=$((Passed + $1))
  Failed=$((Failed + $2))
  if [ "$2" -gt 0 ] && [ -n "${3:-}" ]; then FailedNames+=("$3"); fi
}

# Counts a ctest run from its summary line ("97% tests passed, 1 tests failed
# out of 40"). A run that failed without that line (a test program that
# could not be listed, a timeout of the whole run) counts as one failure, and
# so does a suite without tests.
CountCtest() {
  local Name=$1 LogFile=$2 Result=$3 Line Total Bad Skipped
  Line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$LogFile" | tail -n 1)
  if [ -n "$Line" ]; then
    Bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$Line")
    Total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$Line")
    Count $((Total - Bad)) "$Bad" "$Name"
    echo "$Line"
    grep -E '^[[:space:]]+[0-9]+ - .*\((Failed|Timeout|Not Run|SEGFAULT|Exception|Subprocess aborted)' "$LogFile" |
      sed 's/^[[:space:]]*/    /'
  elif grep -q 'No tests were found' "$LogFile"; then
    # Suites that vanish must not pass unseen.
    echo "    $Name: no tests registered"
    Count 0 1 "$Name (no tests registered)"
    return
  fi
  Skipped=$(grep -c -E '^[[:space:]]+[0-9]+ - .*\(Skipped\)' "$LogFile")
  [ "$Skipped" = 0 ] || echo "    ($Skipped of them skipped themselves)"
  if [ "$Result" != 0 ] && [ "${Bad:-0}" = 0 ]; then
    Count 0 1 "$Name (ctest ended with $Result)"
  fi
}

# Bounded SECONDS LOG COMMAND...: runs a command with a time limit as a
# background job, its output into LOG, and waits for it. `timeout` shields
# its command from Ctrl-C, and bash would act on the signal only once the
# command ended: waiting on a job lets Cleanup end it at once. (The output is
# redirected here, not at the call, so that Cleanup's messages are not.)
CurrentJob=
Bounded() {
  local Seconds=$1 Log=$2 Result
  shift 2
  timeout -k 10 "$Seconds" "$@" </dev/null >"$Log" 2>&1 &
  CurrentJob=$!
  wait "$CurrentJob"
  Result=$?
  CurrentJob=
  return "$Result"
}

Cleanup() {
  if [ -n "$CurrentJob" ]; then
    kill -TERM "$CurrentJob" 2>/dev/null
    wait "$CurrentJob" 2>/dev/null
  fi
  if [ -n "${WineSessionPrefix:-}${WineSessionXvfbPid:-}" ]; then
    WineSessionStop
  fi
}
trap Cleanup EXIT
trap 'echo "test: interrupted" >&2; exit 130' INT TERM

mkdir -p build
rm -rf "$Artifacts"
mkdir -p "$Artifacts"

Phase "packages"
bash scripts/deps.sh || exit 1
PhaseDone packages

Phase "build"
# Each build on its own, so that one that fails still lets the others' suites run.
declare -A Built
for Build in host win32 win64; do
  if bash scripts/build.sh "$Build"; then
    Built[$Build]=1
  else
    Built[$Build]=0
    echo "FAIL build $Build"
    Count 0 1 "build $Build"
  fi
done
PhaseDone build

if [ "${Built[host]}" = 1 ]; then
  Phase "host unit tests (build/host)"
  Bounded 1200 "$Artifacts/host-ctest.log" ctest --test-dir build/host -j 2 --timeout 300 --output-on-failure
  CountCtest "host unit tests" "$Artifacts/host-ctest.log" "$?"
  PhaseDone "host unit tests"
fi

Phase "stub checks (build/win32, build/win64)"
StubLog=$(bash scripts/check-stub.sh build/win32/src/setup/tarn-setup.exe build/win64/src/setup/tarn-setup.exe)
printf '%s\n' "$StubLog"
Count "$(grep -c '^PASS' <<<"$StubLog")" "$(grep -c '^FAIL' <<<"$StubLog")" "stub checks"
PhaseDone "stub checks"

Phase "Wine session"
source scripts/wine-session.sh
if [ "${Built[win64]}" != 1 ]; then
  echo "skipped: the win64 build failed"
elif WineSessionStart always; then
  PhaseDone "Wine session"

  Phase "Win32 unit tests under Wine (build/win64)"
  # One test at a time: tests that open windows must not see each other's.
  Bounded 1500 "$Artifacts/win64-ctest.log" ctest --test-dir build/win64 --timeout 120 --output-on-failure
  CountCtest "Win32 unit tests" "$Artifacts/win64-ctest.log" "$?"
  PhaseDone "Win32 unit tests"

  Phase "end-to-end tests (tests/e2e)"
  for Script in tests/e2e/*.sh; do
    Name=$(basename "$Script" .sh)
    [ "$Name" = lib ] && continue
    Dir=$Artifacts/$Name
    mkdir -p "$Dir"
    Started=$SECONDS
    TARN_ARTIFACTS=$Dir Bounded 180 "$Dir/output.log" bash "$Script"
    Result=$?
    if [ "$Result" = 0 ]; then
      printf 'PASS %s (%d s)\n' "$Name" $((SECONDS - Started))
      Count 1 0
    else
      [ "$Result" = 124 ] && Why="timed out" || Why="exit code $Result"
      printf 'FAIL %s (%s, %d s); artifacts in %s\n' "$Name" "$Why" $((SECONDS - Started)) "$Dir"
      tail -n 15 "$Dir/output.log" | sed 's/^/    /'
      Count 0 1 "$Name"
      # Whatever the test left behind ends here, so the next test starts clean.
      WineSessionReset
    fi
  done
  PhaseDone "end-to-end tests"
else
  echo "test: no Wine session: the Win32 and end-to-end tests cannot run"
  Count 0 1 "Wine session"
fi
Phase "Wine session end"
WineSessionStop
PhaseDone "Wine session end"

# Fuzz targets live in fuzz/<target>/ with a corpus/; each binary is named
# after its directory (plain, or with a fuzz_ / _fuzz affix). Built with clang in build/fuzz, they share the
# TARN_FUZZ_SECONDS; new inputs go to a scratch directory, findings to
# build/test-artifacts/fuzz/. The whole run counts as one test.
if [ -f fuzz/CMakeLists.txt ] && [ "$FuzzSeconds" -gt 0 ]; then
  Phase "fuzzing (build/fuzz)"
  FuzzOk=1
  mkdir -p "$Artifacts/fuzz"
  if [ ! -f build/fuzz/build.ninja ]; then
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTARN_FUZZ=ON -DTARN_BUILD_TESTS=OFF >"$Artifacts/fuzz/configure.log" 2>&1 || FuzzOk=0
  fi
  # Only the fuzz binaries are built: the instrumented libraries would not
  # link into the ordinary programs of that tree.
  Targets=()
  if [ "$FuzzOk" = 1 ]; then
    Executables=$(ninja -C build/fuzz -t targets all | sed -n 's/: CXX_EXECUTABLE_LINKER.*//p')
    for Dir in fuzz/*/; do
      Target=$(basename "$Dir")
      Binary=$(grep -E "(^|/)(fuzz[_-])?$Target([_-]fuzz)?\$" <<<"$Executables" | head -n 1)
      [ -n "$Binary" ] && Targets+=("$Target:build/fuzz/$Binary")
    done
    if [ ${#Targets[@]} -eq 0 ]; then
      echo "no fuzz binaries named after fuzz/<target>/ in build/fuzz"
      FuzzOk=0
    fi
  fi
  if [ "$FuzzOk" = 1 ] && cmake --build build/fuzz -j "$(nproc)" --target "${Targets[@]#*:build/fuzz/}" \
      >"$Artifacts/fuzz/build.log" 2>&1; then
    for Entry in "${Targets[@]}"; do
      Target=${Entry%%:*}
      Binary=${Entry#*:}
      Seconds=$((FuzzSeconds / ${#Targets[@]}))
      [ "$Seconds" -lt 10 ] && Seconds=10
      Scratch=$(mktemp -d /tmp/tarn-fuzz.XXXXXX)
      Corpus=()
      [ -d "fuzz/$Target/corpus" ] && Corpus=("fuzz/$Target/corpus")
      echo "fuzz $Target: $Seconds s"
      if ! Bounded $((Seconds + 60)) "$Artifacts/fuzz/$Target.log" "$Binary" "$Scratch" "${Corpus[@]}" \
          -max_total_time="$Seconds" -rss_limit_mb=1024 -artifact_prefix="$Artifacts/fuzz/$Target-"; then
        echo "FAIL fuzz $Target: see $Artifacts/fuzz/$Target.log"
        tail -n 20 "$Artifacts/fuzz/$Target.log" | sed 's/^/    /'
        FuzzOk=0
      fi
      rm -rf "$Scratch"
    done
  else
    echo "FAIL fuzz build: see $Artifacts/fuzz/"
    tail -n 20 "$Artifacts/fuzz/build.log" "$Artifacts/fuzz/configure.log" 2>/dev/null | sed 's/^/    /'
    FuzzOk=0
  fi
  if [ "$FuzzOk" = 1 ]; then Count 1 0; else Count 0 1 "fuzzing"; fi
  PhaseDone fuzzing
fi

printf '\n=== done in %d s; artifacts in %s\n' $((SECONDS - RunStart)) "$Artifacts"
for Name in "${FailedNames[@]}"; do
  echo "failed: $Name"
done
echo "$Passed passed, $Failed failed"
[ "$Failed" = 0 ]
