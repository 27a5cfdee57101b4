#!/usr/bin/env bash
# The whole test run: installs what is missing, builds the three builds, then
#   1. host unit tests (ctest in build/host), while the Wine prefix is made
#   2. the stubs: size, imports, seams and header flags (scripts/check-stub.sh)
#   3. in one private Wine session:
#      - the Win32 unit tests (ctest in build/win64, run under wine64)
#      - the archive reader's tests built for i686 (ctest in build/win32),
#        where Wine runs 32-bit programs
#      - every end-to-end test tests/e2e/*.sh, on the i686 setup users ship
#        where Wine runs 32-bit programs, else on its x86_64 twin
#   4. a short fuzz run when the tree has fuzz targets (clang, build/fuzz)
# It ends with the line "N passed, N failed, N skipped", which counts the
# deterministic tests; the fuzz run's findings are reported on a line of
# their own. The exit code is 1 when a test failed or the fuzz run found
# something. Logs, screenshots and fuzz findings go to build/test-artifacts/.
# Usage: scripts/test.sh          (run as root from anywhere in the repo)
# Environment:
#   TARN_FUZZ_SECONDS  length of the fuzz run (default 60; 0 leaves it out)
#   TARN_VECTORS_DIR   the real archives (default ../shared/vectors beside the
#                      repository; relative paths count from the repository);
#                      without them the tests that read them are skipped
#   TARN_WINE32=no     run the x86_64 twin even where Wine runs 32-bit programs
set -u
cd "$(dirname "$0")/.."
Root=$(pwd)
Artifacts=$Root/build/test-artifacts
FuzzSeconds=${TARN_FUZZ_SECONDS:-60}
# TARN_TIME_SCALE stretches the time limits of the Wine suites, for machines
# that run the 32-bit setup emulated (it then starts in about a minute).
TimeScale=${TARN_TIME_SCALE:-1}
Passed=0
Failed=0
Skipped=0
FailedNames=()
Notes=()
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
# out of 40", where the passed ones include the skipped ones) and its list of
# tests that did not run. A run that failed without that line (a test program
# that could not be listed, a timeout of the whole run) counts as one
# failure, and so does a suite without tests.
CountCtest() {
  local Name=$1 LogFile=$2 Result=$3 Line Total Bad= Skips
  Line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$LogFile" | tail -n 1)
  Skips=$(grep -c -E '^[[:space:]]+[0-9]+ - .*\(Skipped\)' "$LogFile")
  if [ -n "$Line" ]; then
    Bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$Line")
    Total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$Line")
    Count $((Total - Bad - Skips)) "$Bad" "$Name"
    Skipped=$((Skipped + Skips))
    echo "$Line"
    grep -E '^[[:space:]]+[0-9]+ - .*\((Failed|Timeout|Not Run|SEGFAULT|Exception|Subprocess aborted)' "$LogFile" |
      sed 's/^[[:space:]]*/    /'
    [ "$Skips" = 0 ] || echo "    ($Skips of them skipped themselves)"
  elif grep -q 'No tests were found' "$LogFile"; then
    # Suites that vanish must not pass unseen.
    echo "    $Name: no tests registered"
    Count 0 1 "$Name (no tests registered)"
    return
  fi
  if [ "$Result" != 0 ] && [ "${Bad:-0}" = 0 ]; then
    Count 0 1 "$Name (ctest ended with $Result)"
    tail -n 20 "$LogFile" | sed 's/^/    /'
  fi
  # Skips other than those for want of the real archives are shown by name.
  if [ "$Skips" != 0 ] && [ -z "$VectorsMissing" ]; then
    while IFS= read -r Skip; do
      Notes+=("$Skip")
    done < <(grep -E '^[[:space:]]+[0-9]+ - .*\(Skipped\)' "$LogFile" | sed -E "s/^[[:space:]]+[0-9]+ - /skipped ($Name): /")
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

# The real archives, for every test program that reads them (an absolute path).
Vectors=${TARN_VECTORS_DIR:-../shared/vectors}
[[ "$Vectors" == /* ]] || Vectors=$Root/$Vectors
export TARN_VECTORS_DIR
TARN_VECTORS_DIR=$(realpath -m "$Vectors")
VectorsMissing=
if [ ! -f "$TARN_VECTORS_DIR/EXPECTED.txt" ]; then
  VectorsMissing="skipped: the tests that read the real archives (no $TARN_VECTORS_DIR/EXPECTED.txt);"
  VectorsMissing+=" set TARN_VECTORS_DIR to their folder to run them (README.md, \"Real archives\")"
  printf '\n%s\n' "$VectorsMissing"
fi

# The Wine prefix is made while the host tests run.
source scripts/wine-session.sh
WineBegun=0
if [ "${Built[win64]}" = 1 ] && WineSessionBegin always; then
  WineBegun=1
fi

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
if [ "${Built[win64]}" != 1 ]; then
  echo "skipped: the win64 build failed"
elif [ "$WineBegun" = 1 ] && WineSessionStart always; then
  PhaseDone "Wine session"

  Phase "Win32 unit tests under Wine (build/win64)"
  # One test at a time: tests that open windows must not see each other's.
  Bounded 1500 "$Artifacts/win64-ctest.log" ctest --test-dir build/win64 --timeout 120 --output-on-failure
  CountCtest "Win32 unit tests" "$Artifacts/win64-ctest.log" "$?"
  PhaseDone "Win32 unit tests"

  # The i686 build differs from the others in the archive decoder (no SSE2).
  if [ "$TARN_WINE32" != yes ]; then
    Notes+=("not run: the i686 archive tests (build/win32): no 32-bit programs here: $TARN_WINE32_WHY")
  elif [ "${Built[win32]}" = 1 ]; then
    Phase "archive tests of the i686 build under Wine (build/win32)"
    Bounded $((600 * TimeScale)) "$Artifacts/win32-ctest.log" ctest --test-dir build/win32 --timeout $((120 * TimeScale)) --output-on-failure
    CountCtest "i686 archive tests" "$Artifacts/win32-ctest.log" "$?"
    PhaseDone "i686 archive tests"
  fi

  if [ "$TARN_WINE32" = yes ]; then
    Phase "end-to-end tests (tests/e2e) on the i686 setup (build/win32)"
  else
    Phase "end-to-end tests (tests/e2e) on the x86_64 twin (build/win64)"
    echo "no 32-bit programs here ($TARN_WINE32_WHY): the setup users ship is not run"
    Notes+=("the end-to-end tests ran the x86_64 twin: no 32-bit programs here: $TARN_WINE32_WHY")
  fi
  for Script in tests/e2e/*.sh; do
    Name=$(basename "$Script" .sh)
    [ "$Name" = lib ] && continue
    Dir=$Artifacts/$Name
    mkdir -p "$Dir"
    Started=$SECONDS
    TARN_ARTIFACTS=$Dir Bounded $((180 * TimeScale)) "$Dir/output.log" bash "$Script"
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
# after its directory (plain, or with a fuzz_ / _fuzz affix). Built with clang
# in build/fuzz, they share the TARN_FUZZ_SECONDS; new inputs go to a scratch
# directory. A finding is no test result: it is reported on its own line,
# its input kept in build/test-artifacts/fuzz/, and it fails the run. A
# fuzz build that fails is a failed test.
FuzzFindings=()
FuzzSummary=
if [ -f fuzz/CMakeLists.txt ] && [ "$FuzzSeconds" -gt 0 ]; then
  Phase "fuzzing (build/fuzz)"
  FuzzBuilt=1
  mkdir -p "$Artifacts/fuzz"
  if [ ! -f build/fuzz/build.ninja ]; then
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTARN_FUZZ=ON -DTARN_BUILD_TESTS=OFF >"$Artifacts/fuzz/configure.log" 2>&1 || FuzzBuilt=0
  fi
  # Only the fuzz binaries are built: the instrumented libraries would not
  # link into the ordinary programs of that tree.
  Targets=()
  if [ "$FuzzBuilt" = 1 ]; then
    Executables=$(ninja -C build/fuzz -t targets all | sed -n 's/: CXX_EXECUTABLE_LINKER.*//p')
    for Dir in fuzz/*/; do
      Target=$(basename "$Dir")
      Binary=$(grep -E "(^|/)(fuzz[_-])?$Target([_-]fuzz)?\$" <<<"$Executables" | head -n 1)
      [ -n "$Binary" ] && Targets+=("$Target:build/fuzz/$Binary")
    done
    if [ ${#Targets[@]} -eq 0 ]; then
      echo "no fuzz binaries named after fuzz/<target>/ in build/fuzz"
      FuzzBuilt=0
    fi
  fi
  if [ "$FuzzBuilt" = 1 ] && cmake --build build/fuzz -j "${TARN_JOBS:-$(nproc)}" --target "${Targets[@]#*:build/fuzz/}" \
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
        Inputs=$(find "$Artifacts/fuzz" -maxdepth 1 -type f -name "$Target-*" | tr '\n' ' ')
        FuzzFindings+=("$Target: ${Inputs:-no input saved}(log: $Artifacts/fuzz/$Target.log)")
        echo "FINDING fuzz $Target: see $Artifacts/fuzz/$Target.log"
        tail -n 20 "$Artifacts/fuzz/$Target.log" | sed 's/^/    /'
      fi
      rm -rf "$Scratch"
    done
    FuzzSummary="${#Targets[@]} target(s), $FuzzSeconds s"
  else
    echo "FAIL fuzz build: see $Artifacts/fuzz/"
    tail -n 20 "$Artifacts/fuzz/build.log" "$Artifacts/fuzz/configure.log" 2>/dev/null | sed 's/^/    /'
    Count 0 1 "fuzz build"
  fi
  PhaseDone fuzzing
fi

printf '\n=== done in %d s; artifacts in %s\n' $((SECONDS - RunStart)) "$Artifacts"
for Note in "${Notes[@]}"; do
  echo "note: $Note"
done
[ -z "$VectorsMissing" ] || echo "$VectorsMissing"
for Name in "${FailedNames[@]}"; do
  echo "failed: $Name"
done
if [ ${#FuzzFindings[@]} -gt 0 ]; then
  for Finding in "${FuzzFindings[@]}"; do
    echo "fuzz finding: $Finding"
  done
elif [ -n "$FuzzSummary" ]; then
  echo "fuzz: no findings ($FuzzSummary)"
fi
echo "$Passed passed, $Failed failed, $Skipped skipped"
[ "$Failed" = 0 ] && [ ${#FuzzFindings[@]} = 0 ]
