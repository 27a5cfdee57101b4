# Helpers of the end-to-end tests (tests/e2e/*.sh), every one of them here. A
# test sources this file, starts the program under test with E2eStart, works
# its windows with E2eDriver (tests/driver/TarnDriver.cpp documents the
# command language), checks the logs with the E2eExpect helpers and ends with
# E2eFinish. After the general helpers come those of the groups of tests:
# the setup's bitness, installation (Install*, RunSilent), wizard (Wizard*)
# and high DPI (Dpi*); a group that needs set-up calls it (InstallSetUp,
# DpiSetUp).
#
# scripts/test.sh runs every test in one shared Wine session. Run alone
# (bash tests/e2e/NAME.sh) a test starts a private session of its own.
# Artifacts (program output, driver scripts and logs, screenshots) go to
# $TARN_ARTIFACTS, by default build/test-artifacts/<test name>.
#
# The setup under test ($TARN_STUB) is the i686 stub users ship wherever the
# session runs 32-bit programs, else its x86_64 twin: E2eChooseStub chooses
# it, and the bitness helpers give the expectations that follow its bitness
# (E2eProgramFiles, E2eRegKey, E2eSystemTool), never fixed paths. The helper
# programs (driver, desktop holder, probes) are x86_64 in every case.
#
# E2eLibraryOnly=1 before sourcing defines the helpers and nothing else (no
# session, no stub chosen): tests/harness/e2e_bitness_test.sh checks the
# bitness helpers so, without Wine.

set -u
set -u
TARN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2eName=$(basename "$0" .sh)
TARN_ARTIFACTS=${TARN_ARTIFACTS:-$TARN_ROOT/build/test-artifacts/$E2eName}
TARN_WIN_BUILD=${TARN_WIN_BUILD:-$TARN_ROOT/build/win64}
TARN_TARNPACK=${TARN_TARNPACK:-$TARN_ROOT/build/host/src/pack/tarnpack}
TARN_DRIVER=${TARN_DRIVER:-$TARN_WIN_BUILD/tests/tarn-driver.exe}

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

# ---- the bitness of the setup under test ----
# A 32-bit program on 64-bit Windows sees other folders and another registry
# view than a 64-bit one. Needs TARN_ROOT, TARN_WIN_BUILD and, for the
# helpers that run programs, TARN_WINE and a Wine session.

# E2ePeBits FILE: 32 or 64, the bitness of a Windows program (the magic of its
# PE optional header); nothing when FILE is no such program.
E2ePeBits() {
  local Header Magic
  Header=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$Header" ] || return 1
  Magic=$(od -An -t x2 -j $((Header + 24)) -N 2 "$1" 2>/dev/null | tr -d ' ')
  case "$Magic" in
    010b) echo 32 ;;
    020b) echo 64 ;;
    *) return 1 ;;
  esac
}

# E2eChooseStub: sets TARN_STUB, unless it is given, to the i686 stub users
# ship where the session runs 32-bit programs (TARN_WINE32=yes), else to its
# x86_64 twin; and E2eSetupBits to the bitness of the stub it names.
E2eChooseStub() {
  if [ -z "${TARN_STUB:-}" ]; then
    if [ "${TARN_WINE32:-no}" = yes ]; then
      TARN_STUB=$TARN_ROOT/build/win32/src/setup/tarn-setup.exe
    else
      TARN_STUB=$TARN_WIN_BUILD/src/setup/tarn-setup.exe
    fi
  fi
  E2eSetupBits=$(E2ePeBits "$TARN_STUB") || E2eSetupBits=64
}

# E2eSystemTool NAME ARGS...: one of the prefix's own programs (reg, cmd, ...)
# in the bitness of the setup under test, so that it sees the folders and the
# registry view that the setup sees.
E2eSystemTool() {
  local Tool=$1
  shift
  if [ "$E2eSetupBits" = 32 ]; then
    "$TARN_WINE" "C:\\windows\\syswow64\\$Tool.exe" "$@"
  else
    "$TARN_WINE" "C:\\windows\\system32\\$Tool.exe" "$@"
  fi
}

# E2eProgramFiles: the setup's %ProgramFiles% (C:\Program Files (x86) for a
# 32-bit setup on 64-bit Windows), read where the setup reads it.
E2eProgramFilesValue=
E2eProgramFiles() {
  if [ -z "$E2eProgramFilesValue" ]; then
    E2eProgramFilesValue=$(E2eSystemTool reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion' \
      /v ProgramFilesDir 2>/dev/null | tr -d '\r' | sed -n -E 's/^ +ProgramFilesDir +REG_SZ +(.*)$/\1/p')
  fi
  printf '%s' "$E2eProgramFilesValue"
}

# E2eRegKey KEY: where a key the setup writes is found in the registry's
# 64-bit view (the one "$TARN_WINE reg" shows): HKLM\Software of a 32-bit
# program is redirected to HKLM\Software\Wow6432Node; the rest is shared.
E2eRegKey() {
  local Key=$1 Upper=${1^^}
  if [ "$E2eSetupBits" = 32 ] && [[ "$Upper" == 'HKLM\SOFTWARE\'* ]] &&
    [[ "$Upper" != 'HKLM\SOFTWARE\WOW6432NODE\'* ]]; then
    printf 'HKLM\\Software\\Wow6432Node\\%s' "${Key:14}"
  else
    printf '%s' "$Key"
  fi
}

# E2eUnixPath WINDOWS-PATH: the Linux path of a file of the prefix.
E2eUnixPath() {
  "$TARN_WINE" winepath -u "$1" 2>/dev/null | tr -d '\r'
}

# ---- installation (install_*, silent_*, uninstall_*) ----
# A test makes a small setup project in its artifacts folder, builds it with
# tarnpack around the stub under test, runs it under Wine with the driver and
# checks the disk, the registry and the log. Every setup installs below a
# fresh folder of the test's own, under registry keys named after the test,
# so tests do not see each other.

TARN_HOLD_FILE=${TARN_HOLD_FILE:-$TARN_WIN_BUILD/tests/tarn-hold-file.exe}
TARN_NEWER_VERSION=${TARN_NEWER_VERSION:-$TARN_WIN_BUILD/tests/tarn-newer-version.exe}
# InstallSetUp: what the installation tests need first. A restart is recorded
# in $InstallRestartLog instead of being made (a test seam, so these setups
# are built around the test stub): a real one would end every program of the
# Wine session.
InstallSetUp() {
  InstallRestartLog=$TARN_ARTIFACTS/restart.log
  TARN_TEST_RESTART_LOG=$(E2eWinPath "$InstallRestartLog")
  export TARN_TEST_RESTART_LOG
  rm -f "$InstallRestartLog"
  E2eRequire "$TARN_TARNPACK" "$TARN_TEST_STUB" "$TARN_DRIVER"
}

# InstallNewProject DIR TARGET [CONFIG LINES...]: a project in DIR whose setup
# shows no page before the installation and installs into the Linux folder
# TARGET. Extra lines go into [Config] (a later key of the same name does not
# override: give keys that are not among the defaults). Instruction file:
# DIR/Presetup/Test.ins, payload: DIR/Data.
InstallNewProject() {
  local Dir=$1 Target=$2; shift 2
  rm -rf "$Dir"
  mkdir -p "$Dir/Presetup" "$Dir/Data"
  {
    printf '[Config]\r\n'
    printf 'DefaultInstallPath=%s\r\n' "$(E2eWinPath "$Target")"
    printf 'InsFiles=Test\r\n'
    local Line
    for Line in "$@"; do printf '%s\r\n' "$Line"; done
    printf '[Variables]\r\nProgramName=Install Test\r\n'
  } >"$Dir/Presetup/Tarn.ini"
  printf '%s\r\n' '[Strings]' '1=Do you want to cancel the installation?' '2=Reading the instructions...' \
    '3=Measuring the installation...' '4=Not enough free disk space.' '5=Writing the registry...' \
    '100=Installing %s' '110=Newer file' '111=%s on your computer is newer. Replace it?' \
    '[Strings.RUS]' '100=Ustanovka %s' >"$Dir/Presetup/Tarn.str"
}

# InstallPayload DIR NAME=TEXT...: payload files DIR/Data/NAME (NAME below
# Data, "\" between folders) holding the line TEXT, and the instruction file
# DIR/Presetup/Test.ins that copies each into the installation folder. A test
# appends further sections (cat >>).
InstallPayload() {
  local Dir=$1 Item Name
  shift
  printf '%s\n' '[CopyFile]' 'Files=%InstallPath%' '[Files]' >"$Dir/Presetup/Test.ins"
  for Item in "$@"; do
    Name=${Item%%=*}
    mkdir -p "$(dirname "$Dir/Data/${Name//\\//}")"
    printf '%s\r\n' "${Item#*=}" >"$Dir/Data/${Name//\\//}"
    printf '%s=\n' "$Name" >>"$Dir/Presetup/Test.ins"
  done
}

# InstallBuild DIR EXE [tarnpack options...]: builds the setup around
# $InstallStub (default the test stub); fails the test when that fails.
InstallBuild() {
  local Dir=$1 Exe=$2; shift 2
  if ! "$TARN_TARNPACK" build "$Dir" -o "$Exe" --stub "${InstallStub:-$TARN_TEST_STUB}" "$@" >"$TARN_ARTIFACTS/$(basename "$Exe").build.log" 2>&1; then
    cat "$TARN_ARTIFACTS/$(basename "$Exe").build.log"
    E2eFail "tarnpack build $Dir"
    E2eFinish
  fi
}

# InstallEntryOrder EXE: the archive's Data\ entry names (without "Data\"), in archive order.
InstallEntryOrder() {
  "$TARN_TARNPACK" list "$1" | sed -n -E 's/^.* Data\\(.*)$/\1/p'
}

# InstallRun NAME EXE [LOCALE] < DRIVERSCRIPT: runs the setup (in the locale
# given, e.g. ru_RU.UTF-8: Wine takes the user's language from LC_ALL) and
# the driver script, then waits for the setup to end (60 s). Fails the test
# when the script fails or the setup does not end with the exit code
# $E2eExpectExit (lib.sh; 0 by default). With InstallRunLog=1 the setup also
# writes its diagnostic log to NAME.diag.log (/LOG=), for a run whose failure
# would otherwise leave no trace.
InstallRun() {
  local Name=$1 Exe=$2 Locale=${3:-}
  rm -f "$TARN_ARTIFACTS/$Name.log"   # the driver's log is appended to
  local Env=() Args=()
  [ -n "$Locale" ] && Env=(env "LC_ALL=$Locale")
  [ "${InstallRunLog:-0}" = 1 ] && Args=("/LOG=$(E2eWinPath "$TARN_ARTIFACTS/$Name.diag.log")")
  "${Env[@]}" "$TARN_WINE" "$Exe" "${Args[@]}" </dev/null >"$TARN_ARTIFACTS/$Name.out" 2>&1 &
  local Pid=$!
  E2ePids+=("$Pid")
  E2eLog "started $Name: $Exe ${Locale:+in $Locale }(pid $Pid)"
  E2eDriver "$Name" --timeout 30000 || E2eFail "$Name: driver script"
  E2eWait "$Pid" 60
  E2eExpectEqual "$?" "$(E2eExitStatus "${E2eExpectExit:-0}")" "$Name: setup exit code"
}

# InstallRegValue KEY NAME: "TYPE DATA" of a registry value the setup wrote
# under KEY (found where the setup's registry view puts it), empty when absent.
InstallRegValue() {
  "$TARN_WINE" reg query "$(E2eRegKey "$1")" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n -E "s/^ +$2 +(REG_[A-Z_]+) *(.*)$/\1 \2/p"
}

# InstallLogSection FILE SECTION: the lines of one section of an INI file.
InstallLogSection() {
  tr -d '\r' <"$1" 2>/dev/null | awk -v Want="[$2]" '
    /^\[/ { In = ($0 == Want); next }
    In && NF { print }'
}

# InstallExpectSame INSTALLED SOURCE: same bytes, and the installed file
# carries the source's time as the archive keeps it (2-second steps).
InstallExpectSame() {
  local Installed=$1 Source=$2
  if [ ! -f "$Installed" ]; then
    E2eFail "not installed: $Installed"
    return
  fi
  cmp -s "$Installed" "$Source" || E2eFail "bytes differ: $Installed"
  local Want Got
  Want=$(stat -c %Y "$Source")
  Want=$((Want - Want % 2))
  Got=$(stat -c %Y "$Installed")
  E2eExpectEqual "$Got" "$Want" "time of $Installed"
}

# InstallExpectAbsent PATH...
InstallExpectAbsent() {
  local Path
  for Path in "$@"; do
    [ ! -e "$Path" ] || E2eFail "should not exist: $Path"
  done
}

# RunSilent NAME EXE [OPTIONS...]: a setup (or uninstaller) with /S and a
# diagnostic log NAME.diag.log, windowless; its exit code in E2eExitCode.
RunSilent() {
  local Name=$1 Exe=$2; shift 2
  rm -f "$TARN_ARTIFACTS/$Name.diag.log"
  E2eRunWindowless "$Name" 60 "$(E2eWinPath "$Exe") /S /LOG=$(E2eWinPath "$TARN_ARTIFACTS/$Name.diag.log") $*"
}
# DiagLine NAME REGEX: the run's diagnostic log has a line matching REGEX (its CR LF line ends dropped).
DiagLine() {
  tr -d '\r' <"$TARN_ARTIFACTS/$1.diag.log" 2>/dev/null | grep -q -E -- "$2" ||
    E2eFail "$1: no line /$2/ in the diagnostic log"
}

# ---- the wizard (wizard_*, security_*) ----
# A small setup project per test, built into a setup with tarnpack and the
# stub under test, and the checks on the prefix's temp folder.

TARN_TEST_SETUP=${TARN_TEST_SETUP:-$TARN_ROOT/build/host/tests/tarn-test-setup}

# WizardProject NAME: an empty project in $TARN_ARTIFACTS/NAME-project with
# one payload file; sets WizardDir. The test writes its Presetup files.
WizardProject() {
  WizardDir=$TARN_ARTIFACTS/$1-project
  rm -rf "$WizardDir"
  mkdir -p "$WizardDir/Presetup" "$WizardDir/Data"
  printf 'payload\r\n' >"$WizardDir/Data/Payload.txt"
}

# WizardWrite FILE: stdin (UTF-8, LF) into Presetup/FILE in code page 1251
# with CR LF line ends, as the setup reads its texts unconverted.
WizardWrite() {
  sed 's/$/\r/' | iconv -f UTF-8 -t CP1251 >"$WizardDir/Presetup/$1"
}

# WizardBuild NAME: builds $TARN_ARTIFACTS/NAME.exe from $WizardDir with
# stored entries (so a test can find and change their bytes); sets WizardExe.
WizardBuild() {
  WizardExe=$TARN_ARTIFACTS/$1.exe
  E2eRequire "$TARN_TARNPACK" "$TARN_STUB" "$TARN_DRIVER"
  "$TARN_TARNPACK" build "$WizardDir" -o "$WizardExe" --stub "$TARN_STUB" --store \
    >"$TARN_ARTIFACTS/$1.build.log" 2>&1 || {
    cat "$TARN_ARTIFACTS/$1.build.log"
    E2eFail "tarnpack build $1"
    E2eFinish
  }
}

# WizardBuildUnchecked NAME [DAMAGED]: builds $TARN_ARTIFACTS/NAME.exe from
# $WizardDir with the test kit's tarn-test-setup instead of tarnpack, so that
# nothing is checked: a test makes the setups that tarnpack refuses. Every
# file is stored, Presetup first; the Presetup file named DAMAGED gets a
# wrong CRC. Sets WizardExe.
WizardBuildUnchecked() {
  local Damaged=${2:-} Entries=() File Mark
  WizardExe=$TARN_ARTIFACTS/$1.exe
  E2eRequire "$TARN_TEST_SETUP" "$TARN_STUB" "$TARN_DRIVER"
  for File in "$WizardDir"/Presetup/*; do
    Mark=
    [ "$(basename "$File")" = "$Damaged" ] && Mark='!'
    Entries+=("Presetup\\$(basename "$File")=$File$Mark")
  done
  for File in "$WizardDir"/Data/*; do Entries+=("Data\\$(basename "$File")=$File"); done
  "$TARN_TEST_SETUP" "$WizardExe" "$TARN_STUB" "${Entries[@]}" || E2eFail "tarn-test-setup $1"
}

# The prefix's user temporary folder, where a run that is not elevated
# makes its own folder.
WizardTempFolder() {
  local User
  User=$(id -un)
  printf '%s/drive_c/users/%s/Temp' "$WINEPREFIX" "$User"
}
# Both folders a run may make its folder in: an elevated run (as Wine's
# are) uses the Windows folder's Temp.
WizardTempFolders() {
  WizardTempFolder
  printf '\n%s/drive_c/windows/temp\n' "$WINEPREFIX"
}

# WizardTempBefore: remembers the temp folders' entries;
# WizardExpectTempClean: fails when the run left a new one behind.
WizardTempListing() {
  local Folder
  while IFS= read -r Folder; do
    ls -A "$Folder" 2>/dev/null | sed "s|^|$Folder/|"
  done < <(WizardTempFolders) | sort
}
WizardTempBefore() {
  [ -d "$(WizardTempFolder)" ] || E2eFail "no temporary folder $(WizardTempFolder) to watch"
  WizardTempList=$(WizardTempListing)
}
WizardExpectTempClean() {
  local Left
  Left=$(comm -13 <(printf '%s\n' "$WizardTempList") <(WizardTempListing) | grep -v '^$')
  [ -z "$Left" ] || E2eFail "the run left in the temporary folders: $(echo $Left)"
}

# WizardRun NAME: starts $WizardExe as NAME; sets WizardPid.
WizardRun() {
  WizardTempBefore
  E2eStart "$1" "$WizardExe"
  WizardPid=$E2eLastPid
}

# WizardEnd WHAT: waits for the setup to end with exit code $E2eExpectExit
# (lib.sh; 0 by default) and checks that its temporary folder is gone.
WizardEnd() {
  E2eWait "$WizardPid" 60
  E2eExpectEqual "$?" "$(E2eExitStatus "${E2eExpectExit:-0}")" "exit code after $1"
  WizardExpectTempClean
}

# ---- high DPI (windows_dpi*) ----
# The walk over the demo's pages with the layout checks and a screenshot of
# each (dpi<N>-<page>.png), and the checks of the painted titles reported by
# the test stub's seam (TARN_TEST_UI_LOG).

DesktopKey='HKCU\Control Panel\Desktop'
TitleFont='"MS Sans Serif" 8'

DpiSetLogPixels() {
  "$TARN_WINE" reg add "$DesktopKey" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 ||
    E2eFail "setting LogPixels to $1"
}
DpiRestoreLogPixels() {
  if [ -n "$OldLogPixels" ]; then
    DpiSetLogPixels "$((16#$OldLogPixels))"
  else
    "$TARN_WINE" reg delete "$DesktopKey" /v LogPixels /f >/dev/null 2>&1
  fi
}

# DpiSetUp: the resolution is a setting of the shared prefix, put back at the
# end as it was; the painted titles are reported in $UiLog; the demo project
# with DLG_REBOOT added after the installation is built into $Setup, which
# installs into $Target.
DpiSetUp() {
  E2eRequire "$TARN_TARNPACK" "$TARN_TEST_STUB" "$TARN_DRIVER"
  UiLog=$TARN_ARTIFACTS/ui.log
  export TARN_TEST_UI_LOG
  TARN_TEST_UI_LOG=$(E2eWinPath "$UiLog")
  OldLogPixels=$("$TARN_WINE" reg query "$DesktopKey" /v LogPixels 2>/dev/null | tr -d '\r' |
    sed -n -E 's/.*REG_DWORD[[:space:]]+0x([0-9a-fA-F]+).*/\1/p')
  trap 'DpiRestoreLogPixels; E2eCleanup' EXIT
  Project=$TARN_ARTIFACTS/project
  Target="$TARN_ARTIFACTS/target/Tarn Demo"
  rm -rf "$Project" "$TARN_ARTIFACTS/target"
  cp -r "$TARN_ROOT/examples/demo" "$Project"
  sed -i 's/^PostInstallDialogSequence=.*/PostInstallDialogSequence=DLG_README,DLG_REBOOT/' "$Project/Presetup/Tarn.ini"
  Setup=$TARN_ARTIFACTS/setup.exe
  "$TARN_TARNPACK" build "$Project" -o "$Setup" --stub "$TARN_TEST_STUB" >"$TARN_ARTIFACTS/build.log" 2>&1 ||
    { cat "$TARN_ARTIFACTS/build.log"; E2eFail "tarnpack build"; E2eFinish; }
  WinTarget=$(E2eWinPath "$Target" | sed 's/\\/\\\\/g')
}

# DpiWalkAt DPI: the English walk at that resolution (sets Dpi): the demo
# installs and its titles fit.
DpiWalkAt() {
  Dpi=$1
  E2eLog "--- $Dpi DPI"
  DpiSetLogPixels "$Dpi"
  DpiPrepareTarget
  DpiRunSetup "walk-$Dpi" en_US.UTF-8 < <(DpiWalk ENU)
  [ -f "$Target/Doc/Guide.txt" ] || E2eFail "$Dpi DPI: the demo did not install"
  DpiCheckTitles "$Dpi"
}

# DpiFinish: the demo's registry keys go, then E2eFinish.
DpiFinish() {
  "$TARN_WINE" reg delete 'HKCU\Software\Tarn Demo' /f >/dev/null 2>&1
  "$TARN_WINE" reg delete 'HKLM\Software\Tarn Demo' /f >/dev/null 2>&1
  E2eFinish
}

# DpiCheckPage NAME: the layout checks and a screenshot of the current page.
DpiCheckPage() {
  printf 'expect-inside\nexpect-texts-fit %s\nscreenshot dpi%s-%s\n' "$TitleFont" "$Dpi" "$1"
}

# DpiCaption LANGUAGE TEMPLATE: a page's caption, as the setup shows it (the
# English templates', or the demo's Russian ones from Tarn.dlg).
declare -A EnglishCaptions=(
  [DLG_LANGUAGE]="Choose language" [DLG_WELCOME]="Welcome!" [DLG_LICENSE]="License agreement"
  [DLG_README]="Readme information" [DLG_DIR]="Installation directory" [DLG_START]="Start install"
  [DLG_PROGRESS]="Installation progress" [DLG_REBOOT]="Reboot computer" [DLG_FINISH]="Installation complete"
  [DLG_NOTFINISH]="Installation uncomplete")
DpiCaption() {
  if [ "$1" = ENU ]; then
    printf '%s' "${EnglishCaptions[$2]}"
  else
    iconv -f CP1251 -t UTF-8 "$Project/Presetup/Tarn.dlg" |
      awk -v Section="[$2.$1]" '{ sub(/\r$/, "") } /^\[/ { In = $0 == Section } In && /^Caption=/ { print substr($0, 9); exit }'
  fi
}

# DpiPage LANGUAGE TEMPLATE NAME: wait for the page, check it, save it.
DpiPage() {
  printf 'wait-window "%s" 60000\n' "$(DpiCaption "$1" "$2")"
  DpiCheckPage "$3"
}

# DpiWalk LANGUAGE: every page from the language to the finish. The language
# page offers the user's language first.
DpiWalk() {
  local L=$1
  cat <<SCRIPT
$(DpiPage "$L" DLG_LANGUAGE language)
press 102
wait-gone
$(DpiPage "$L" DLG_WELCOME welcome)
press 102
wait-gone
$(DpiPage "$L" DLG_LICENSE license)
press 105
wait-gone
$(DpiPage "$L" DLG_README readme)
press 102
wait-gone
$(DpiPage "$L" DLG_DIR directory)
type 106 "$WinTarget"
press 102
wait-gone
$(DpiPage "$L" DLG_START start)
press 102
wait-gone
$(DpiPage "$L" DLG_PROGRESS progress)
answer yes
wait-gone 60000
$(DpiPage "$L" DLG_README readme-after)
press 102
wait-gone
$(DpiPage "$L" DLG_REBOOT reboot)
press 102
wait-gone
$(DpiPage "$L" DLG_FINISH finish)
press 104
wait-gone
SCRIPT
}

# Cancelled at once: the not-finished page.
DpiCancelWalk() {
  cat <<SCRIPT
wait-window "$(DpiCaption ENU DLG_LANGUAGE)" 60000
press 103
answer yes
wait-gone
$(DpiPage ENU DLG_NOTFINISH notfinish)
press 104
wait-gone
SCRIPT
}

# DpiPrepareTarget: an empty target but for a newer Demo.txt, whose question
# keeps the progress page up.
DpiPrepareTarget() {
  rm -rf "$TARN_ARTIFACTS/target" "$UiLog"
  mkdir -p "$Target"
  printf 'newer\r\n' >"$Target/Demo.txt"
  touch -d '+2 days' "$Target/Demo.txt"
}

# DpiRunSetup NAME LOCALE < SCRIPT: one run of the setup under the driver,
# ending with the exit code $E2eExpectExit (lib.sh; 0 by default).
DpiRunSetup() {
  local Name=$1 Locale=$2
  LC_ALL=$Locale E2eStart "$Name" "$Setup" # Wine takes the user's language from LC_ALL
  local Pid=$E2eLastPid
  E2eDriver "$Name" --timeout 60000 || E2eFail "the pages at $Dpi DPI ($Name)"
  E2eWait "$Pid" 60
  E2eExpectEqual "$?" "$(E2eExitStatus "${E2eExpectExit:-0}")" "exit code of $Name"
}

# DpiTitleFaults DPI: the titles painted at this resolution that leave their
# area (with their shadow) or do not sit at the offsets of 96 DPI scaled,
# one line each.
DpiTitleFaults() {
  local Dpi=$1
  tr -d '\r' <"$UiLog" | grep "^title .* dpi $Dpi\$" | awk -v Dpi="$Dpi" '
    function scaled(p) { return int((p * Dpi + 48) / 96) }  # MulDiv rounds
    {
      split($4, Area, "x"); split($6, At, ","); split($7, Text, "x")
      page = $2
      main = page == "main-window"
      x = scaled(main ? 20 : 10); y = scaled(main ? 20 : 5); shadow = scaled(main ? 3 : 2)
      if (At[1] != x || At[2] != y) print page ": text at " At[1] "," At[2] ", expected " x "," y
      if (At[1] + Text[1] + shadow > Area[1] || At[2] + Text[2] + shadow > Area[2])
        print page ": text " At[1] "," At[2] " " Text[1] "x" Text[2] " (+" shadow " shadow) leaves its area " Area[1] "x" Area[2]
    }' | sort -u
}

# DpiCheckTitles DPI: no title fault, and titles were painted at all.
DpiCheckTitles() {
  local Dpi=$1 Fault
  tr -d '\r' <"$UiLog" | grep -q "^title .* dpi $Dpi\$" || { E2eFail "no title painted at $Dpi DPI"; return; }
  while IFS= read -r Fault; do
    [ -n "$Fault" ] && E2eFail "$Dpi DPI: $Fault"
  done < <(DpiTitleFaults "$Dpi")
}

# ---- the run of a test ----

if [ "${E2eLibraryOnly:-}" != 1 ]; then
  mkdir -p "$TARN_ARTIFACTS"
  trap E2eCleanup EXIT
  trap 'exit 130' INT TERM
  # TARN_XVFB=when-needed uses the caller's $DISPLAY when there is one.
  if [ -z "${TARN_WINE_SESSION:-}" ]; then
    WineSessionStart "${TARN_XVFB:-always}" || { E2eLog "no Wine session"; exit 1; }
  fi

  E2eChooseStub
  # The same stub with the test seams (src/support/TestSeams.h), for tests that
  # must observe what the shipped stub would really do (a restart).
  TARN_TEST_STUB=${TARN_TEST_STUB:-$(dirname "$TARN_STUB")/tarn-setup-test.exe}
fi
