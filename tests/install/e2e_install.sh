# Helpers of the installation end-to-end tests (tests/e2e/install_*.sh),
# sourced after tests/e2e/lib.sh. A test makes a small setup project in its
# artifacts folder, builds it with tarnpack around the x86_64 stub, runs it
# under Wine with the driver and checks the disk, the registry and the log.
# Every setup installs below a fresh folder of the test's own, under
# registry keys named after the test, so tests do not see each other.

TARN_HOLD_FILE=${TARN_HOLD_FILE:-$TARN_WIN_BUILD/tests/tarn-hold-file.exe}
TARN_NEWER_VERSION=${TARN_NEWER_VERSION:-$TARN_WIN_BUILD/tests/tarn-newer-version.exe}
# A restart is recorded in this file instead of being made (a test seam, so
# these setups are built around the test stub): a real one would end every
# program of the Wine session.
InstallRestartLog=$TARN_ARTIFACTS/restart.log
TARN_TEST_RESTART_LOG=$(E2eWinPath "$InstallRestartLog")
export TARN_TEST_RESTART_LOG
rm -f "$InstallRestartLog"

E2eRequire "$TARN_TARNPACK" "$TARN_TEST_STUB" "$TARN_DRIVER"

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

# InstallBuild DIR EXE [tarnpack options...]: builds the setup; fails the test when that fails.
InstallBuild() {
  local Dir=$1 Exe=$2; shift 2
  if ! "$TARN_TARNPACK" build "$Dir" -o "$Exe" --stub "$TARN_TEST_STUB" "$@" >"$TARN_ARTIFACTS/$(basename "$Exe").build.log" 2>&1; then
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
# when the script fails or the setup does not end with code 0.
InstallRun() {
  local Name=$1 Exe=$2 Locale=${3:-}
  rm -f "$TARN_ARTIFACTS/$Name.log"   # the driver's log is appended to
  local Env=()
  [ -n "$Locale" ] && Env=(env "LC_ALL=$Locale")
  "${Env[@]}" "$TARN_WINE" "$Exe" </dev/null >"$TARN_ARTIFACTS/$Name.out" 2>&1 &
  local Pid=$!
  E2ePids+=("$Pid")
  E2eLog "started $Name: $Exe ${Locale:+in $Locale }(pid $Pid)"
  E2eDriver "$Name" --timeout 30000 || E2eFail "$Name: driver script"
  E2eWait "$Pid" 60
  E2eExpectEqual "$?" 0 "$Name: setup exit code"
}

# InstallRegValue KEY NAME: "TYPE DATA" of a registry value, empty when absent.
InstallRegValue() {
  "$TARN_WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
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
