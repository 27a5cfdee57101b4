#!/usr/bin/env bash
# The uninstaller when things are not as the installation left them: the log
# missing or damaged (a clear message, nothing removed; exit code 1, also
# silently), and an installed file in use (deleted at the next restart, and
# the finish page says so; exit code 3010, with and without /S). Also a
# cancel on the confirmation page (2) and a setup's option given to the
# uninstaller (4): nothing removed.
source "$(dirname "$0")/lib.sh"
InstallSetUp
E2eRequire "$TARN_HOLD_FILE"

Project=$TARN_ARTIFACTS/project
Target=$TARN_ARTIFACTS/target/App
EntryName='TarnE2E Uninstall Faults'
Entry=$(E2eRegKey "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$EntryName")
SessionKey='HKLM\System\CurrentControlSet\Control\Session Manager'
PendingBefore=$("$TARN_WINE" reg query "$SessionKey" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | grep -c REG_MULTI_SZ)
InstallNewProject "$Project" "$Target" 'Uninstall=1' 'LogFile=%InstallPath%\install.log' "UninstallKey=$EntryName"
InstallPayload "$Project" 'Held.dll=library' 'Free.txt=free'
InstallBuild "$Project" "$TARN_ARTIFACTS/setup.exe"

Install() {
  rm -rf "$TARN_ARTIFACTS/target"
  "$TARN_WINE" reg delete "$Entry" /f >/dev/null 2>&1
  InstallRun "$1" "$TARN_ARTIFACTS/setup.exe" <<'SCRIPT'
leave "Installation complete" 104 60000
SCRIPT
  [ -f "$Target/Uninstall.exe" ] || E2eFail "$1: no uninstaller installed"
}

# Holding FILE: a program keeps FILE open until Released.
Holding() {
  Stop=$TARN_ARTIFACTS/stop
  rm -f "$Stop" "$TARN_ARTIFACTS/holder.out"
  E2eStart holder "$TARN_HOLD_FILE" "$(E2eWinPath "$1")" "$(E2eWinPath "$Stop")"
  Holder=$E2eLastPid
  for Waited in $(seq 1 100); do
    grep -q holding "$TARN_ARTIFACTS/holder.out" 2>/dev/null && break
    sleep 0.1
  done
}
Released() {
  : >"$Stop"
  E2eWait "$Holder" 20 || E2eFail "the holder did not end"
}

# UnusableRecord NAME: the uninstaller, silent and then with its pages, says
# the log cannot be used and removes nothing (exit code 1: it failed).
UnusableRecord() {
  local Name=$1
  RunSilent "$Name-silent" "$Target/Uninstall.exe"
  E2eExpectEqual "$E2eExitCode" 1 "$Name-silent: exit code"
  DiagLine "$Name-silent" 'error: The uninstall record .*\\target\\App\\install\.log is missing or damaged'
  DiagLine "$Name-silent" 'exit code 1$'
  E2eExpectExit=1 InstallRun "$Name" "$Target/Uninstall.exe" <<'SCRIPT'
wait-window "Error" 60000
expect-text-contains msgtext "\\target\\App\\install.log is missing or damaged"
expect-text-contains msgtext "Nothing was removed."
answer ok
wait-gone
SCRIPT
  [ -f "$Target/Held.dll" ] && [ -f "$Target/Free.txt" ] && [ -f "$Target/Uninstall.exe" ] ||
    E2eFail "$Name: files were removed"
  "$TARN_WINE" reg query "$Entry" >/dev/null 2>&1 || E2eFail "$Name: the entry was removed"
}

# --- a setup's option refused (4), a cancel on the confirmation page (2):
# nothing removed
Install missing-setup
RunSilent setup-option "$Target/Uninstall.exe" /LANG=enu
E2eExpectEqual "$E2eExitCode" 4 "setup-option: exit code"
DiagLine setup-option 'error: The uninstaller takes no /D= or /LANG=\.$'
E2eExpectExit=2 InstallRun confirm-cancel "$Target/Uninstall.exe" <<'SCRIPT'
leave "Uninstall" 103 60000
SCRIPT
[ -f "$Target/Held.dll" ] && [ -f "$Target/install.log" ] && [ -f "$Target/Uninstall.exe" ] ||
  E2eFail "setup-option, confirm-cancel: files were removed"

# --- the log missing, then damaged
rm -f "$Target/install.log"
UnusableRecord missing
printf '[CopyFile]\r\nrelative\\path.txt=\r\n[Uninstall]\r\nKey=%s\r\nRoot=HKLM\r\n' "$EntryName" >"$Target/install.log"
UnusableRecord damaged

# --- a file in use during the uninstall
Install inuse-setup
Holding "$Target/Held.dll"
E2eExpectExit=3010 InstallRun inuse "$Target/Uninstall.exe" <<'SCRIPT'
wait-window "Uninstall" 60000
press 102
wait-window "Uninstall complete" 60000
visible 107
expect-text 107 "Some files were in use. They will be removed when Windows restarts."
screenshot uninstall-inuse
press 104
wait-gone
SCRIPT
Released
InstallExpectAbsent "$Target/Free.txt" "$Target/install.log"
"$TARN_WINE" reg query "$Entry" >/dev/null 2>&1 && E2eFail "inuse: the entry is still there"
"$TARN_WINE" reg query "$SessionKey" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' |
  grep -qiF "$(E2eWinPath "$Target")\\Held.dll" || E2eFail "inuse: the file in use is not deleted at restart"

# --- the same silently: removed, but a restart is needed (3010)
Install inuse-silent-setup
Holding "$Target/Held.dll"
RunSilent inuse-silent "$Target/Uninstall.exe"
Released
E2eExpectEqual "$E2eExitCode" 3010 "inuse-silent: exit code"
InstallExpectAbsent "$Target/Free.txt" "$Target/install.log"
"$TARN_WINE" reg query "$Entry" >/dev/null 2>&1 && E2eFail "inuse-silent: the entry is still there"
DiagLine inuse-silent 'scheduled for restart: .*\\App\\Held\.dll$'
DiagLine inuse-silent 'removed: .*\\App\\Free\.txt$'
DiagLine inuse-silent 'uninstalled, files in use go at restart$'
DiagLine inuse-silent 'exit code 3010$'

# --- a cancelled installation: no entry, but its uninstaller removes what
# was installed (and leaves the newer file the user kept)
rm -rf "$TARN_ARTIFACTS/target"
"$TARN_WINE" reg delete "$Entry" /f >/dev/null 2>&1
for Name in Alpha Beta Gamma; do printf 'packaged %s\r\n' "$Name" >"$Project/Data/$Name.txt"; done
printf '[CopyFile]\r\nFiles=%%InstallPath%%\r\n[Files]\r\nAlpha.txt=\r\nBeta.txt=\r\nGamma.txt=\r\n' >"$Project/Presetup/Test.ins"
rm -f "$Project/Data/Held.dll" "$Project/Data/Free.txt"
InstallBuild "$Project" "$TARN_ARTIFACTS/cancel.exe"
mkdir -p "$Target"
printf 'newer on disk\r\n' >"$Target/Beta.txt"
touch -d '+2 days' "$Target/Beta.txt"
E2eExpectExit=2 InstallRun cancel "$TARN_ARTIFACTS/cancel.exe" <<'SCRIPT'
wait-window "Newer file" 60000
wait-window "Installation progress"
press 103
answer no "Newer file"
answer yes "Install Test"
leave "Installation uncomplete" 104 30000
SCRIPT
[ -f "$Target/Alpha.txt" ] && [ -f "$Target/Uninstall.exe" ] || E2eFail "cancel: the first file and the uninstaller are not there"
"$TARN_WINE" reg query "$Entry" >/dev/null 2>&1 && E2eFail "cancel: an entry for an incomplete installation"
InstallRun cancel-uninstall "$Target/Uninstall.exe" <<'SCRIPT'
wait-window "Uninstall" 60000
press 102
leave "Uninstall complete" 104 60000
SCRIPT
InstallExpectAbsent "$Target/Alpha.txt" "$Target/Gamma.txt" "$Target/install.log"
E2eExpectEqual "$(cat "$Target/Beta.txt" 2>/dev/null)" $'newer on disk\r' "cancel: the kept newer file stays"

if [ "$PendingBefore" = 0 ]; then
  "$TARN_WINE" reg delete "$SessionKey" /v PendingFileRenameOperations /f >/dev/null 2>&1
fi
E2eFinish
