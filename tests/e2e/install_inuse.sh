#!/usr/bin/env bash
# A target held open by another program cannot be deleted: the new file is
# written beside it under a temporary name, its replacement is registered
# for the next start of Windows, the log names the real target, and the
# restart page follows with "reboot now" checked. "Later" leads to the finish
# page and no restart; "now" ends the setup with a restart request (recorded
# through the support library's test seam, never made).
source "$(dirname "$0")/lib.sh"
InstallSetUp
E2eRequire "$TARN_HOLD_FILE"

Project=$TARN_ARTIFACTS/project
InstallNewProject "$Project" 'Z:\unused' 'Uninstall=1' 'UninstallProgram=' 'LogFile=%InstallPath%\install.log'
InstallPayload "$Project" 'Locked.dll=new library' 'Free.txt=free file'

SessionKey='HKLM\System\CurrentControlSet\Control\Session Manager'
PendingBefore=$("$TARN_WINE" reg query "$SessionKey" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | grep -c REG_MULTI_SZ)

# RunHeld NAME DRIVERSCRIPT: installs into a fresh folder whose Locked.dll
# is held open during the run. Sets Target.
RunHeld() {
  local Name=$1 Script=$2
  Target=$TARN_ARTIFACTS/$Name/App
  rm -rf "$TARN_ARTIFACTS/$Name"
  mkdir -p "$Target"
  printf 'old library in use\r\n' >"$Target/Locked.dll"
  touch -d '2001-01-01' "$Target/Locked.dll"   # older: no newer-file question
  # The project's install path is this run's folder.
  sed -i "s|^DefaultInstallPath=.*|DefaultInstallPath=$(E2eWinPath "$Target" | sed 's/\\/\\\\/g')\r|" "$Project/Presetup/Tarn.ini"
  InstallBuild "$Project" "$TARN_ARTIFACTS/$Name.exe"

  local Stop=$TARN_ARTIFACTS/$Name/stop
  E2eStart "$Name-holder" "$TARN_HOLD_FILE" "$(E2eWinPath "$Target/Locked.dll")" "$(E2eWinPath "$Stop")"
  local Holder=$E2eLastPid Waited
  for Waited in $(seq 1 100); do
    grep -q holding "$TARN_ARTIFACTS/$Name-holder.out" 2>/dev/null && break
    sleep 0.1
  done
  grep -q holding "$TARN_ARTIFACTS/$Name-holder.out" || E2eFail "$Name: the file could not be held open"
  InstallRun "$Name" "$TARN_ARTIFACTS/$Name.exe" <<<"$Script"
  : >"$Stop"
  E2eWait "$Holder" 20 || E2eFail "$Name: the holder did not end"
}

# CheckReplacement NAME: the new file waits beside the held one, registered
# to replace it; the log names the real target.
CheckReplacement() {
  local Name=$1
  E2eExpectEqual "$(cat "$Target/Locked.dll")" $'old library in use\r' "$Name: the held file is untouched"
  InstallExpectSame "$Target/Free.txt" "$Project/Data/Free.txt"
  local Temporary
  # GetTempFileNameA takes three characters of the prefix "Tarn".
  Temporary=$(find "$Target" -maxdepth 1 -iname 'Tar*.tmp')
  if [ "$(wc -l <<<"$Temporary")" != 1 ] || [ -z "$Temporary" ]; then
    E2eFail "$Name: expected one Tar*.tmp beside the target, found '$Temporary'"
    return
  fi
  cmp -s "$Temporary" "$Project/Data/Locked.dll" || E2eFail "$Name: the temporary file does not hold the new file"
  local Pending WinTemporary WinTarget
  Pending=$("$TARN_WINE" reg query "$SessionKey" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' |
    sed -n -E 's/^ +PendingFileRenameOperations +REG_MULTI_SZ +//p' | sed 's/\\0/\n/g')
  WinTemporary=$(E2eWinPath "$Temporary")
  WinTarget=$(E2eWinPath "$Target/Locked.dll")
  # Wine keeps the names as the program gave them; Windows compares them
  # without regard to case.
  grep -qixF -A1 "\\??\\$WinTemporary" <<<"$Pending" &&
    [ "$(grep -ixF -A1 "\\??\\$WinTemporary" <<<"$Pending" | tail -n 1 | tr 'a-z' 'A-Z')" = "$(printf '!\\??\\%s' "$WinTarget" | tr 'a-z' 'A-Z')" ] ||
    E2eFail "$Name: no pending replacement of $WinTarget by $WinTemporary in: $Pending"
  E2eExpectEqual "$(InstallLogSection "$Target/install.log" CopyFile | sort)" \
    "$(printf '%s\n' "$WinTarget=" "$(E2eWinPath "$Target/Free.txt")=" | sort)" "$Name: log names the real target"
}

# --- restart later: the files still wait, so the exit code says a restart is needed
E2eExpectExit=3010 RunHeld later '
wait-window "Reboot computer" 60000
expect-checked 106
expect-unchecked 107
check 107
press 102
wait-window "Installation complete" 30000
press 104
wait-gone'
CheckReplacement later
[ -e "$InstallRestartLog" ] && E2eFail "later: a restart was requested"

# --- restart now: no closing page, the restart is requested at the end
RunHeld now '
wait-window "Reboot computer" 60000
expect-checked 106
press 102
wait-gone'
CheckReplacement now
E2eExpectEqual "$(tr -d '\r' <"$InstallRestartLog" 2>/dev/null)" "ExitWindowsEx flags=0x02" "now: one restart requested"

# Leave no pending operations of ours in the shared session.
if [ "$PendingBefore" = 0 ]; then
  "$TARN_WINE" reg delete "$SessionKey" /v PendingFileRenameOperations /f >/dev/null 2>&1
fi
E2eFinish
