# Helpers for the end-to-end tests (tests/e2e/*.sh). A test sources this file,
# starts the program under test with E2eStart, works its windows with
# E2eDriver (tests/driver/TarnDriver.cpp documents the command language),
# checks the logs with the E2eExpect helpers and ends with E2eFinish. The
# helpers of one group of tests are in tests/e2e/<group>_helpers.inc.
#
# scripts/test.sh runs every test in one shared Wine session. Run alone
# (bash tests/e2e/NAME.sh) a test starts a private session of its own.
# Artifacts (program output, driver scripts and logs, screenshots) go to
# $TARN_ARTIFACTS, by default build/test-artifacts/<test name>.
#
# The setup under test ($TARN_STUB) is the i686 stub users ship wherever the
# session runs 32-bit programs, else its x86_64 twin: tests/e2e/bitness.inc
# chooses it and gives the expectations that follow its bitness
# (E2eProgramFiles, E2eRegKey, E2eSystemTool), never fixed paths. The helper
# programs (driver, desktop holder, probes) are x86_64 in every case.

set -u
TARN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2eName=$(basename "$0" .sh)
TARN_ARTIFACTS=${TARN_ARTIFACTS:-$TARN_ROOT/build/test-artifacts/$E2eName}
TARN_WIN_BUILD=${TARN_WIN_BUILD:-$TARN_ROOT/build/win64}
TARN_TARNPACK=${TARN_TARNPACK:-$TARN_ROOT/build/host/src/pack/tarnpack}
TARN_DRIVER=${TARN_DRIVER:-$TARN_WIN_BUILD/tests/tarn-driver.exe}
mkdir -p "$TARN_ARTIFACTS"

# shellcheck source=../../scripts/wine-session.sh
source "$TARN_ROOT/scripts/wine-session.sh"

E2ePids=()
E2eFailures=0

E2eLog() { printf '[%s] %s\n' "$E2eName" "$*"; }

# Ends the programs this test started, then its own session if it has one.
E2eCleanup() {
  local Pid
  for Pid in "${E2ePids[@]}"; do
    kill "$Pid" 2>/dev/null
  done
  for Pid in "${E2ePids[@]}"; do
    wait "$Pid" 2>/dev/null
  done
  E2ePids=()
  WineSessionStop
}
trap E2eCleanup EXIT
trap 'exit 130' INT TERM

# TARN_XVFB=when-needed uses the caller's $DISPLAY when there is one.
if [ -z "${TARN_WINE_SESSION:-}" ]; then
  WineSessionStart "${TARN_XVFB:-always}" || { E2eLog "no Wine session"; exit 1; }
fi

# shellcheck source=bitness.inc
source "$TARN_ROOT/tests/e2e/bitness.inc"
E2eChooseStub
# The same stub with the test seams (src/support/TestSeams.h), for tests that
# must observe what the shipped stub would really do (a restart).
TARN_TEST_STUB=${TARN_TEST_STUB:-$(dirname "$TARN_STUB")/tarn-setup-test.exe}

# A Linux path as the Windows programs of the prefix see it (drive Z: is /).
E2eWinPath() {
  local Path=$1
  printf 'Z:%s' "${Path//\//\\}"
}

# Marks the test failed without stopping it, so that one run shows every fault.
E2eFail() {
  E2eFailures=$((E2eFailures + 1))
  E2eLog "FAIL: $*"
}

# Skips the rest of the test with a failure when a needed file is missing.
E2eRequire() {
  local File
  for File in "$@"; do
    if [ ! -e "$File" ]; then
      E2eFail "missing $File (build it first: scripts/build.sh)"
      exit 1
    fi
  done
}

# E2eStart NAME EXE [ARGS...]: starts a Windows program in the background; its
# stdout goes to $TARN_ARTIFACTS/NAME.out, stderr to NAME.err. Sets E2eLastPid.
E2eStart() {
  local Name=$1; shift
  "$TARN_WINE" "$@" </dev/null >"$TARN_ARTIFACTS/$Name.out" 2>"$TARN_ARTIFACTS/$Name.err" &
  E2eLastPid=$!
  E2ePids+=("$E2eLastPid")
  E2eLog "started $Name: $* (pid $E2eLastPid)"
}

# E2eWait PID [SECONDS]: waits for a started program; returns its exit code,
# or 124 (and ends it) when it is still running after SECONDS (default 60).
E2eWait() {
  local Pid=$1 Limit=$((${2:-60} * ${TARN_TIME_SCALE:-1})) Tenths=0
  while kill -0 "$Pid" 2>/dev/null; do
    if [ "$Tenths" -ge $((Limit * 10)) ]; then
      kill "$Pid" 2>/dev/null
      wait "$Pid" 2>/dev/null
      return 124
    fi
    sleep 0.1
    Tenths=$((Tenths + 1))
  done
  wait "$Pid"
}

# Exit codes. Wine hands a Windows program's exit code to its Unix parent
# cut to 8 bits, as every Unix exit status is: 3010 arrives as 194. E2eWait
# and $? give that; E2eRunWindowless gives the whole code. The helpers that
# run a setup to its end (InstallRun, WizardEnd, RunSetup) expect the exit
# code $E2eExpectExit, 0 unless set for the one call
# (E2eExpectExit=2 WizardEnd "a cancel").
E2eExitStatus() {
  echo $(($1 % 256))
}

# E2eRunWindowless NAME SECONDS COMMANDLINE [LOCALE]: runs a Windows program
# that must show no window (a silent setup) through the driver, which starts
# it with COMMANDLINE exactly as written (program first, as Windows paths)
# and watches the screen; in LOCALE (e.g. ru_RU.UTF-8) when given. Sets E2eExitCode to its whole exit code. Fails the test
# (E2eExitCode empty) when a window appeared, which would wait for input, or
# when it ran longer than SECONDS; the driver then ends it.
E2eRunWindowless() {
  local Name=$1 Seconds=$2 Line=$3 Locale=${4:-}
  local Ms=$((Seconds * 1000 * ${TARN_TIME_SCALE:-1}))
  Line=${Line//\\/\\\\}
  Line=${Line//\"/\\\"}
  E2eExitCode=
  # (bash itself may not have the locale: its complaint is not wanted)
  if ! (if [ -n "$Locale" ]; then export LC_ALL=$Locale 2>/dev/null; fi
        E2eDriver "$Name" <<<"run-windowless $Ms \"$Line\""); then
    E2eFail "$Name: the program showed a window or did not end (see $Name.log)"
    return 1
  fi
  E2eExitCode=$(sed -n -E 's/^ok   run-windowless .*: exit code ([0-9]+), no window$/\1/p' "$TARN_ARTIFACTS/$Name.log")
  E2eLog "$Name: exit code $E2eExitCode"
}

# E2eScreenshot NAME: the whole screen into $TARN_ARTIFACTS/NAME.png, once it
# has stopped changing: a window that has just appeared may still be painting,
# so pictures are taken until two in a row have the same pixels (at most 30).
E2eScreenshot() {
  local Png=$TARN_ARTIFACTS/$1.png Next=$TARN_ARTIFACTS/.$1.next.png Previous= Pixels Try
  for Try in $(seq 1 30); do
    import -window root "$Next" 2>/dev/null || break
    Pixels=$(identify -format '%#' "$Next" 2>/dev/null)
    mv -f "$Next" "$Png"
    [ -n "$Pixels" ] && [ "$Pixels" = "$Previous" ] && return 0
    Previous=$Pixels
  done
  rm -f "$Next"
  [ -f "$Png" ] && E2eLog "screenshot $1 kept changing; the last picture is kept" || E2eLog "screenshot $1 failed"
}

# E2eDriver NAME [DRIVER OPTIONS...] < SCRIPT: runs a driver script (read from
# stdin) and keeps it as NAME.script, its log as NAME.log. Screenshots asked
# for by the script are taken here while the driver waits. Returns the
# driver's exit code (0 when every step passed).
E2eDriver() {
  local Name=$1; shift
  local Script="$TARN_ARTIFACTS/$Name.script" Log="$TARN_ARTIFACTS/$Name.log"
  local SyncDir="$TARN_ARTIFACTS/.sync-$Name"
  cat >"$Script"
  : >"$Log"
  rm -rf "$SyncDir"
  mkdir -p "$SyncDir"
  # The driver's stderr goes to a file, not into the pipe: a Wine program
  # hands its Unix stderr on to the programs it starts, and when the driver
  # is the first window program after Wine's desktop process has ended, it
  # starts that process anew, which would hold the pipe open (and this loop
  # waiting) long after the driver is gone.
  "$TARN_WINE" "$TARN_DRIVER" --sync "$(E2eWinPath "$SyncDir")" "$@" "$(E2eWinPath "$Script")" </dev/null \
    2>"$Log.stderr" |
    while IFS= read -r Line; do
      printf '%s\n' "$Line" >>"$Log"
      printf '  %s\n' "$Line"
      case "$Line" in
        "@@screenshot "*)
          E2eScreenshot "${Line#@@screenshot }"
          : >"$SyncDir/${Line#@@screenshot }.done"
          ;;
      esac
    done
  local Result=${PIPESTATUS[0]}
  cat "$Log.stderr" >>"$Log"
  rm -rf "$SyncDir" "$Log.stderr"
  [ "$Result" = 0 ] || E2eLog "driver script $Name ended with $Result"
  return "$Result"
}

# E2eExpectLine FILE REGEX [WHAT]: FILE has a line matching the extended REGEX.
E2eExpectLine() {
  local File=$1 Pattern=$2 What=${3:-$2}
  grep -q -E -- "$Pattern" "$File" 2>/dev/null || E2eFail "$What (no line /$Pattern/ in $(basename "$File"))"
}

# E2eExpectEqual ACTUAL EXPECTED WHAT
E2eExpectEqual() {
  [ "$1" = "$2" ] || E2eFail "$3: got '$1', expected '$2'"
}

# The last thing a test calls: its exit code is the verdict.
E2eFinish() {
  if [ "$E2eFailures" = 0 ]; then
    E2eLog "passed"
    exit 0
  fi
  E2eLog "$E2eFailures failure(s); artifacts in $TARN_ARTIFACTS"
  exit 1
}
