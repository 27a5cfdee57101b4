#!/usr/bin/env bash
# A failure that escapes the run (here the test stub's seam TARN_TEST_FAIL_AT
# makes one as an exhausted memory would), once on the installation worker
# and once inside a wizard page, and a main window that cannot be made. An
# escaping failure is ended by the interface thread: the
# closing steps still show DLG_NOTFINISH (not DLG_FINISH: the installation
# never returned), then the error box follows, the process ends with exit
# code 1 and the temporary folder is gone.
source "$(dirname "$0")/lib.sh"
InstallSetUp

Project=$TARN_ARTIFACTS/project
Target=$TARN_ARTIFACTS/target/App
InstallNewProject "$Project" "$Target" 'Uninstall=1' 'LogFile=%InstallPath%\install.log'
printf 'packaged\r\n' >"$Project/Data/Alpha.txt"
printf '%s\r\n' '[CopyFile]' 'Files=%InstallPath%' '[Files]' 'Alpha.txt=' >"$Project/Presetup/Test.ins"
InstallBuild "$Project" "$TARN_ARTIFACTS/setup.exe"
WizardExe=$TARN_ARTIFACTS/setup.exe

# FailAt PLACE NAME [EXIT-CODE]: runs the setup with the seam at PLACE and
# the driver script on stdin; the setup must end with EXIT-CODE (1).
FailAt() {
  local Place=$1 Name=$2 Expected=${3:-1}
  rm -rf "$TARN_ARTIFACTS/target"
  WizardTempBefore
  TARN_TEST_FAIL_AT=$Place E2eStart "$Name" "$WizardExe" "/LOG=$(E2eWinPath "$TARN_ARTIFACTS/$Name.diag.log")"
  local Pid=$E2eLastPid
  E2eDriver "$Name" --timeout 30000 || E2eFail "$Name: driver script"
  E2eWait "$Pid" 60
  E2eExpectEqual "$?" "$Expected" "$Name: exit code"
  WizardExpectTempClean
}

FailAt worker on-worker <<'SCRIPT'
wait-window "Installation uncomplete" 30000
screenshot worker-failure-final-page
press 104
answer ok "Install Test"
wait-gone
SCRIPT
grep -q 'Not enough memory: Setup cannot go on.' "$TARN_ARTIFACTS/on-worker.log" ||
  E2eFail "on-worker: the error box after the final page"

# A page that fails as it opens: the run had no outcome yet.
printf '%s\r\n' '[Config]' "DefaultInstallPath=$(E2eWinPath "$Target")" 'InsFiles=Test' \
  'PreInstallDialogSequence=DLG_WELCOME' '[Variables]' 'ProgramName=Install Test' >"$Project/Presetup/Tarn.ini"
InstallBuild "$Project" "$TARN_ARTIFACTS/setup.exe"
FailAt page in-page <<'SCRIPT'
wait-window "Installation uncomplete" 30000
press 104
answer ok
wait-gone
SCRIPT
grep -q 'Not enough memory: Setup cannot go on.' "$TARN_ARTIFACTS/in-page.log" ||
  E2eFail "in-page: the error box after the final page"
[ -e "$Target/Alpha.txt" ] && E2eFail "in-page: a file was installed"

# No main window: no failure escapes, the run ends on its own without a page
# or a message that would wait for an answer (exit code 1: nothing was
# installed), and the unpacked resources go with their folder. The
# diagnostic log says why.
FailAt main-window no-main-window 1 <<'SCRIPT'
list-windows
SCRIPT
DiagLine no-main-window 'error: the main window cannot be made'
E2eFinish
