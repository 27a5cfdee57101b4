#!/usr/bin/env bash
# The exit code of each outcome of a silent run (/S), none of which may show
# a window or wait: installed (0), an existing newer file kept (0, the safe
# answer), a file in use replaced at restart (3010, no restart made; with
# /RESTART the restart is requested and the code is 0), a disk without room
# or a file that cannot be written (1, with the system's error code), an
# archive cut short (3), a stub without any archive (3). And a
# cancel in the wizard of a double-clicked run: 2, as every code is the same
# in both modes. Each failure is in the diagnostic log with its message.
source "$(dirname "$0")/lib.sh"
InstallSetUp
E2eRequire "$TARN_HOLD_FILE"
InstallStub=$TARN_STUB

# SilentProject NAME TARGET-WINDOWS-PATH: a project installing Data\*.txt.
SilentProject() {
  Project=$TARN_ARTIFACTS/$1
  InstallNewProject "$Project" /unused 'Uninstall=1' 'LogFile=%InstallPath%\install.log'
  sed -i "s|^DefaultInstallPath=.*|DefaultInstallPath=$(sed 's/\\/\\\\/g' <<<"$2")\r|" "$Project/Presetup/Tarn.ini"
  printf 'packaged one\r\n' >"$Project/Data/One.txt"
  printf 'packaged two\r\n' >"$Project/Data/Two.txt"
  printf '[CopyFile]\r\nFiles=%%InstallPath%%\r\n[Files]\r\nOne.txt=\r\nTwo.txt=\r\n' >"$Project/Presetup/Test.ins"
}

# --- a newer file is kept, the other installed
Target=$TARN_ARTIFACTS/newer-target
rm -rf "$Target"
SilentProject newer "$(E2eWinPath "$Target")"
InstallBuild "$Project" "$TARN_ARTIFACTS/newer.exe"
mkdir -p "$Target"
printf 'newer on disk\r\n' >"$Target/One.txt"
touch -d '+2 days' "$Target/One.txt"
RunSilent newer "$TARN_ARTIFACTS/newer.exe"
E2eExpectEqual "$E2eExitCode" 0 "newer: exit code"
E2eExpectEqual "$(cat "$Target/One.txt")" $'newer on disk\r' "newer: the newer file is kept"
InstallExpectSame "$Target/Two.txt" "$Project/Data/Two.txt"
E2eExpectEqual "$(InstallLogSection "$Target/install.log" CopyFile | grep -v '\\Uninstall\.exe=$')" \
  "$(E2eWinPath "$Target/Two.txt")=" "newer: the uninstall log names only the installed file of the payload"
DiagLine newer 'answered no: One\.txt on your computer is newer\. Replace it\?$'
DiagLine newer 'kept, newer: .*\\One\.txt$'
DiagLine newer 'exit code 0$'

# --- a file in use: 3010 and no restart; with /RESTART a restart and 0
SessionKey='HKLM\System\CurrentControlSet\Control\Session Manager'
PendingBefore=$("$TARN_WINE" reg query "$SessionKey" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | grep -c REG_MULTI_SZ)
# RunHeld NAME [OPTIONS...]: a silent run of the test stub's setup while One.txt is held open.
RunHeld() {
  local Name=$1; shift
  Target=$TARN_ARTIFACTS/$Name-target
  rm -rf "$Target"
  SilentProject "$Name" "$(E2eWinPath "$Target")"
  InstallStub=$TARN_TEST_STUB InstallBuild "$Project" "$TARN_ARTIFACTS/$Name.exe"
  mkdir -p "$Target"
  printf 'old, in use\r\n' >"$Target/One.txt"
  touch -d '2001-01-01' "$Target/One.txt"
  local Stop=$TARN_ARTIFACTS/$Name-stop Waited
  rm -f "$Stop"
  E2eStart "$Name-holder" "$TARN_HOLD_FILE" "$(E2eWinPath "$Target/One.txt")" "$(E2eWinPath "$Stop")"
  local Holder=$E2eLastPid
  for Waited in $(seq 1 100); do
    grep -q holding "$TARN_ARTIFACTS/$Name-holder.out" 2>/dev/null && break
    sleep 0.1
  done
  rm -f "$InstallRestartLog"
  RunSilent "$Name" "$TARN_ARTIFACTS/$Name.exe" "$@"
  : >"$Stop"
  E2eWait "$Holder" 20 || E2eFail "$Name: the holder did not end"
}
RunHeld inuse
E2eExpectEqual "$E2eExitCode" 3010 "in use: exit code"
[ -e "$InstallRestartLog" ] && E2eFail "in use: a restart was requested without /RESTART"
E2eExpectEqual "$(cat "$Target/One.txt")" $'old, in use\r' "in use: the held file waits for the restart"
DiagLine inuse 'scheduled for restart: .*\\One\.txt$'
DiagLine inuse 'exit code 3010$'
RunHeld allowed /RESTART
E2eExpectEqual "$E2eExitCode" 0 "/RESTART: exit code"
E2eExpectEqual "$(tr -d '\r' <"$InstallRestartLog" 2>/dev/null)" "ExitWindowsEx flags=0x02" "/RESTART: one restart requested"
if [ "$PendingBefore" = 0 ]; then
  "$TARN_WINE" reg delete "$SessionKey" /v PendingFileRenameOperations /f >/dev/null 2>&1
fi

# --- no room: the folder's drive reports no free space (an unmapped drive)
SilentProject full 'Q:\Tarn Test'
head -c 4000 /dev/zero >"$Project/Data/One.txt"
InstallBuild "$Project" "$TARN_ARTIFACTS/full.exe"
RunSilent full "$TARN_ARTIFACTS/full.exe"
E2eExpectEqual "$E2eExitCode" 1 "full disk: exit code"
DiagLine full 'error: Not enough free disk space\.'

# --- past the space check (512 bytes round to 0 KiB), the file cannot be written there
SilentProject unwritable 'Q:\Tarn Test'
head -c 486 /dev/zero >"$Project/Data/One.txt"   # with Two.txt 500 bytes
InstallBuild "$Project" "$TARN_ARTIFACTS/unwritable.exe"
RunSilent unwritable "$TARN_ARTIFACTS/unwritable.exe"
E2eExpectEqual "$E2eExitCode" 1 "unwritable: exit code"
DiagLine unwritable 'error: Cannot extract file .+ \(system error [1-9][0-9]*\)$'

# --- an archive cut short inside the payload
Target=$TARN_ARTIFACTS/cut-target
rm -rf "$Target"
SilentProject cut "$(E2eWinPath "$Target")"
{ printf 'MARKER-CUT '; seq 1 2000; } >"$Project/Data/Two.txt"
InstallBuild "$Project" "$TARN_ARTIFACTS/cut.exe" --store
Offset=$(grep -a -b -o 'MARKER-CUT' "$TARN_ARTIFACTS/cut.exe" | head -n 1 | cut -d: -f1)
truncate -s $((Offset + 500)) "$TARN_ARTIFACTS/cut.exe"
RunSilent cut "$TARN_ARTIFACTS/cut.exe"
E2eExpectEqual "$E2eExitCode" 3 "cut archive: exit code"
DiagLine cut 'error: This setup is damaged or incomplete'

# --- the stub alone: no archive at all
cp "$TARN_STUB" "$TARN_ARTIFACTS/bare.exe"
RunSilent bare "$TARN_ARTIFACTS/bare.exe"
E2eExpectEqual "$E2eExitCode" 3 "no archive: exit code"
DiagLine bare 'error: Archive open error!'

# --- cancelled on a page of a double-clicked run
Target=$TARN_ARTIFACTS/cancel-target
SilentProject cancel "$(E2eWinPath "$Target")"
sed -i 's/^\[Variables\]/PreInstallDialogSequence=DLG_WELCOME\r\n[Variables]/' "$Project/Presetup/Tarn.ini"
InstallBuild "$Project" "$TARN_ARTIFACTS/cancel.exe"
E2eExpectExit=2 InstallRun cancel "$TARN_ARTIFACTS/cancel.exe" <<'SCRIPT'
wait-window "Welcome!" 60000
press 103
answer yes
leave "Installation uncomplete" 104
SCRIPT
InstallExpectAbsent "$Target"
E2eFinish
