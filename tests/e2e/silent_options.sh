#!/usr/bin/env bash
# The command line of the setup users ship, apart from the installation:
#   - /? shows the options in a box and ends with 0; a wrong option shows
#     the fault in an error box and ends with 4;
#   - with /S nothing is shown and the run ends with 4 for a wrong option, an
#     unknown /LANG=, a /D= folder that is no full path, a /LOG= file that
#     cannot be written; the fault is in the diagnostic log where there is one;
#   - without /S, /LANG= and /D= preset the language and directory pages
#     (a /D= folder quoted whole, as Wine passes a word with blanks).
source "$(dirname "$0")/lib.sh"
InstallSetUp
InstallStub=$TARN_STUB

Project=$TARN_ARTIFACTS/project
InstallNewProject "$Project" 'C:\Tarn Options Test' 'Languages=ENU,DEU' 'PreInstallDialogSequence=DLG_LANGUAGE,DLG_DIR'
printf 'payload\r\n' >"$Project/Data/One.txt"
printf '[CopyFile]\r\nFiles=%%InstallPath%%\r\n[Files]\r\nOne.txt=\r\n' >"$Project/Presetup/Test.ins"
InstallBuild "$Project" "$TARN_ARTIFACTS/setup.exe"
Setup=$(E2eWinPath "$TARN_ARTIFACTS/setup.exe")

# ShowRun NAME EXPECTED-EXIT ARGS... < DRIVERSCRIPT: a run with a window, worked by the driver.
ShowRun() {
  local Name=$1 Expected=$2; shift 2
  E2eStart "$Name" "$TARN_ARTIFACTS/setup.exe" "$@"
  local Pid=$E2eLastPid
  E2eDriver "$Name" --timeout 60000 || E2eFail "$Name: driver script"
  E2eWait "$Pid" 60
  E2eExpectEqual "$?" "$(E2eExitStatus "$Expected")" "$Name: exit code"
}

ShowRun help 0 '/?' <<'SCRIPT'
wait-window Setup
expect-text-contains msgtext "/D=folder"
expect-text-contains msgtext "3010 restart needed"
screenshot options-box
answer ok Setup
SCRIPT

ShowRun wrong 4 /S- -restart <<'SCRIPT'
wait-window Error
expect-text msgtext "Wrong option (/? lists them): /S-"
answer ok Error
SCRIPT

# SilentFault NAME ARGS EXPECTED-LOG-LINE: /S with ARGS ends with 4 and no window.
SilentFault() {
  local Name=$1 Args=$2 Line=$3 Log=$TARN_ARTIFACTS/$1.diag.log
  rm -f "$Log"
  E2eRunWindowless "$Name" 60 "$Setup /S /LOG=$(E2eWinPath "$Log") $Args"
  E2eExpectEqual "$E2eExitCode" 4 "$Name: exit code"
  tr -d '\r' <"$Log" 2>/dev/null | grep -q -E -- "$Line" || E2eFail "$Name: no line /$Line/ in the diagnostic log"
}
SilentFault silent-wrong '/X /RESTART' 'error: Wrong option \(/\? lists them\): /X$'
SilentFault unknown-language '/LANG=XYZ' 'error: Unknown language: XYZ$'
SilentFault relative-folder '/D=Tarn Folder' 'error: The installation folder is no full path: Tarn Folder$'
E2eRunWindowless unwritable-log 60 "$Setup /S /LOG=$(E2eWinPath "$TARN_ARTIFACTS/no/such/folder/setup.log")"
E2eExpectEqual "$E2eExitCode" 4 "unwritable-log: exit code"
Installed=$(E2eUnixPath 'C:\Tarn Options Test')
[ -n "$Installed" ] && [ -e "$Installed" ] && E2eFail "a refused run installed something"

# Presets: the German entry is selected and the folder is the one given.
ShowRun presets 2 /lang=deu '/D=C:\Preset Folder' <<'SCRIPT'
wait-window "Choose language"
read-list 106
expect-selected 106 "German (Germany)"
press 102
wait-gone
wait-window "Installation directory"
expect-text 106 "C:\\Preset Folder"
press 103
answer yes
leave "Installation uncomplete" 104
SCRIPT
E2eFinish
