#!/usr/bin/env bash
# A setup with the log on installs its uninstaller and registers the product
# in "Apps & features"; installed twice into one folder whose name holds "=",
# then uninstalled through its pages: every installed file, created folder
# and created registry value goes, so do the entry, the log and the
# uninstaller; a file and a folder the user added stay, and so does a value
# that existed before the installation.
# The demo, installed and uninstalled silently with the setup users ship:
# the same result without a window, exit code 0, and a diagnostic log of
# what was removed.
source "$(dirname "$0")/lib.sh"
InstallSetUp
InstallRunLog=1 # every run leaves its diagnostic log beside the driver's

Project=$TARN_ARTIFACTS/project
Base=$TARN_ARTIFACTS/target
Target=$Base/Tools=Old/App
Key='HKCU\Software\TarnE2E\Uninstall'
EntryName='TarnE2E Uninstall Pages'
Entry=$(E2eRegKey "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$EntryName")
rm -rf "$Base"
mkdir -p "$Base"
InstallNewProject "$Project" "$Target" 'Uninstall=1' 'LogFile=%InstallPath%\install.log' \
  "UninstallKey=$EntryName" 'ProductVersion=2.5' 'Publisher=Tarn Tests'
InstallPayload "$Project" 'A.txt=first' 'Doc\Guide.txt=guide' 'Doc\Deep\Note.txt=deep'
cat >>"$Project/Presetup/Test.ins" <<'INS'
[AddReg]
Values=HKCU\Software\TarnE2E\Uninstall
[Values]
Created=%InstallPath%
Number=#7
Existing=overwritten
INS
InstallBuild "$Project" "$TARN_ARTIFACTS/setup.exe"
"$TARN_TARNPACK" list "$TARN_ARTIFACTS/setup.exe" | grep -q ' Uninstall\\Uninstall.exe$' ||
  E2eFail "the setup carries no uninstaller"

SessionKey='HKLM\System\CurrentControlSet\Control\Session Manager'
PendingBefore=$("$TARN_WINE" reg query "$SessionKey" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | grep -c REG_MULTI_SZ)
"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
"$TARN_WINE" reg delete "$Entry" /f >/dev/null 2>&1
"$TARN_WINE" reg add "$Key" /v Existing /d before /f >/dev/null 2>&1

Install() {
  InstallRun "$1" "$TARN_ARTIFACTS/setup.exe" <<'SCRIPT'
leave "Installation complete" 104 60000
SCRIPT
}

# --- the first installation, then the entry read back
Install install1
WinTarget=$(E2eWinPath "$Target")
InstallExpectSame "$Target/Doc/Deep/Note.txt" "$Project/Data/Doc/Deep/Note.txt"
[ -f "$Target/Uninstall.exe" ] || E2eFail "no uninstaller installed"
"$TARN_WINE" reg export "$Entry" "$(E2eWinPath "$TARN_ARTIFACTS/entry.reg")" /y >/dev/null 2>&1 ||
  E2eFail "the entry cannot be exported"
E2eExpectEqual "$(InstallRegValue "$Entry" DisplayName)" "REG_SZ Install Test" "DisplayName"
E2eExpectEqual "$(InstallRegValue "$Entry" DisplayVersion)" "REG_SZ 2.5" "DisplayVersion"
E2eExpectEqual "$(InstallRegValue "$Entry" Publisher)" "REG_SZ Tarn Tests" "Publisher"
E2eExpectEqual "$(InstallRegValue "$Entry" InstallLocation)" "REG_SZ $WinTarget" "InstallLocation"
E2eExpectEqual "$(InstallRegValue "$Entry" DisplayIcon)" "REG_SZ $WinTarget\\Uninstall.exe" "DisplayIcon"
E2eExpectEqual "$(InstallRegValue "$Entry" UninstallString)" "REG_SZ \"$WinTarget\\Uninstall.exe\"" "UninstallString"
E2eExpectEqual "$(InstallRegValue "$Entry" QuietUninstallString)" "REG_SZ \"$WinTarget\\Uninstall.exe\" /S" \
  "QuietUninstallString"
E2eExpectEqual "$(InstallRegValue "$Entry" EstimatedSize)" "REG_DWORD 0x0" "EstimatedSize (KiB, rounded)"
E2eExpectEqual "$(InstallRegValue "$Entry" NoModify)" "REG_DWORD 0x1" "NoModify"
E2eExpectEqual "$(InstallRegValue "$Entry" NoRepair)" "REG_DWORD 0x1" "NoRepair"
E2eExpectEqual "$(InstallLogSection "$Target/install.log" MakeDir)" \
  "$(printf '%s=\n' "$(E2eWinPath "$Base/Tools=Old")" "$WinTarget" "$WinTarget\\Doc" "$WinTarget\\Doc\\Deep")" \
  "created folders logged, outermost first"

# --- the user adds files; a second installation into the same folder
printf 'mine\r\n' >"$Target/Doc/Mine.txt"
mkdir -p "$Target/Own"
printf 'mine too\r\n' >"$Target/Own/Keep.txt"
"$TARN_WINE" reg add "$Entry" /v DisplayVersion /d stale /f >/dev/null 2>&1
Install install2
E2eExpectEqual "$(InstallRegValue "$Entry" DisplayVersion)" "REG_SZ 2.5" "the second installation updates the entry"
E2eExpectEqual "$(InstallLogSection "$Target/install.log" CopyFile | sort | uniq -d)" "" "each file logged once"
cp "$Target/install.log" "$TARN_ARTIFACTS/install.log"

# --- the uninstaller through its pages
InstallRun uninstall "$Target/Uninstall.exe" <<'SCRIPT'
wait-window "Uninstall" 60000
visible 102
hidden 101
expect-text 102 "Uninstall"
screenshot uninstall-confirm
press 102
wait-window "Uninstall complete" 60000
hidden 107
screenshot uninstall-finish
press 104
wait-gone
SCRIPT

InstallExpectAbsent "$Target/A.txt" "$Target/Doc/Guide.txt" "$Target/Doc/Deep" "$Target/install.log"
[ -f "$Target/Doc/Mine.txt" ] && [ -f "$Target/Own/Keep.txt" ] || E2eFail "the user's files were removed"
[ -d "$Base/Tools=Old/App" ] || E2eFail "the folder holding the user's files was removed"
E2eExpectEqual "$(InstallRegValue "$Key" Created)" "" "created value removed"
E2eExpectEqual "$(InstallRegValue "$Key" Number)" "" "created DWORD removed"
E2eExpectEqual "$(InstallRegValue "$Key" Existing)" "REG_SZ overwritten" "a value that existed before stays"
"$TARN_WINE" reg query "$Entry" >/dev/null 2>&1 && E2eFail "the entry is still there"

# The uninstaller: gone, or renamed and waiting for the restart, so that a
# new installation before then keeps its own uninstaller.
InstallExpectAbsent "$Target/Uninstall.exe"
Parked=$(find "$Target" -maxdepth 1 -iname 'Tar*.tmp')
if [ -n "$Parked" ]; then
  "$TARN_WINE" reg query "$SessionKey" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' |
    grep -qiF "$(E2eWinPath "$Parked")" || E2eFail "the uninstaller stays as $Parked and is not deleted at restart"
fi

Uninstall() {
  InstallRun "$1" "$Target/Uninstall.exe" <<'SCRIPT'
wait-window "Uninstall" 60000
press 102
leave "Uninstall complete" 104 60000
SCRIPT
}

# --- installed again before the restart: the new uninstaller is not the
# one that waits to be deleted
Install reinstall
[ -f "$Target/Uninstall.exe" ] || E2eFail "reinstall: no uninstaller"
"$TARN_WINE" reg query "$SessionKey" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' |
  grep -qiF "$WinTarget\\Uninstall.exe" && E2eFail "reinstall: the new uninstaller would be deleted at restart"
Uninstall uninstall-reinstalled

# --- without files of the user's, an installation into a new folder leaves nothing
rm -rf "$Base/Tools=Old"
Install install3
Uninstall uninstall2
Left=$(find "$Base" -mindepth 1 ! -iname 'Tar*.tmp' -printf '%P\n' | sort)
if [ -n "$(find "$Target" -maxdepth 1 -iname 'Tar*.tmp')" ]; then
  E2eExpectEqual "$Left" "$(printf '%s\n' 'Tools=Old' 'Tools=Old/App')" "only the uninstaller's folders wait for the restart"
else
  E2eExpectEqual "$Left" "" "nothing left"
fi

# --- the demo, installed and then uninstalled silently
Demo=$TARN_ARTIFACTS/demo/Demo
DemoKeys=('HKCU\Software\Tarn Demo' 'HKLM\Software\Tarn Demo')
DemoEntry=$(E2eRegKey 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn Demo')
rm -rf "$TARN_ARTIFACTS/demo"
mkdir -p "$TARN_ARTIFACTS/demo"
"$TARN_TARNPACK" build "$TARN_ROOT/examples/demo" -o "$TARN_ARTIFACTS/demo.exe" --stub "$TARN_STUB" \
  >"$TARN_ARTIFACTS/demo-build.log" 2>&1 || E2eFail "tarnpack build of the demo"
E2eRunWindowless demo-install 60 "$(E2eWinPath "$TARN_ARTIFACTS/demo.exe") /S /LANG=enu /D=$(E2eWinPath "$Demo")"
E2eExpectEqual "$E2eExitCode" 0 "demo: exit code of the silent install"
[ -f "$Demo/Bin/DemoTool.dll" ] && [ -f "$Demo/Uninstall.exe" ] || E2eFail "demo: not installed"
"$TARN_WINE" reg query "$DemoEntry" >/dev/null 2>&1 || E2eFail "demo: no entry"
printf 'mine\r\n' >"$Demo/Doc/Mine.txt"
RunSilent demo-uninstall "$Demo/Uninstall.exe"
E2eExpectEqual "$E2eExitCode" 0 "demo: exit code of the silent uninstall"
E2eExpectEqual "$(cd "$Demo" && find . -mindepth 1 ! -iname 'Tar*.tmp' | sort)" "$(printf '%s\n' ./Doc ./Doc/Mine.txt)" \
  "demo: only the user's file and its folder stay"
for DemoKey in "${DemoKeys[@]}"; do
  E2eExpectEqual "$("$TARN_WINE" reg query "$(E2eRegKey "$DemoKey")" 2>/dev/null | tr -d '\r' | grep -c REG_)" 0 \
    "demo: values left under $DemoKey"
done
"$TARN_WINE" reg query "$DemoEntry" >/dev/null 2>&1 && E2eFail "demo: the entry is still there"
DiagLine demo-uninstall 'command line: .*Uninstall\.exe /S /LOG='
DiagLine demo-uninstall 'uninstall record: .*\\Demo\\install\.log$'
DiagLine demo-uninstall 'language: ENU$'
DiagLine demo-uninstall 'removed value: HKLM\\Software\\Tarn Demo\\Build$'
DiagLine demo-uninstall 'removed: .*\\Demo\\Bin\\DemoTool\.dll$'
DiagLine demo-uninstall 'removed folder: .*\\Demo\\Bin$'
[ -n "$(find "$Demo" -maxdepth 1 -iname 'Tar*.tmp')" ] &&
  DiagLine demo-uninstall 'uninstaller scheduled for restart: .*\\Demo\\Tar[^\\]*\.tmp$'
DiagLine demo-uninstall 'uninstalled$'
DiagLine demo-uninstall 'exit code 0$'

[ "$PendingBefore" = 0 ] && "$TARN_WINE" reg delete "$SessionKey" /v PendingFileRenameOperations /f >/dev/null 2>&1
E2eFinish
