#!/usr/bin/env bash
# Language-only instructions: [CopyFile.RUS] and [AddReg.RUS] act only when
# the setup runs in Russian. The same setup runs once in each language.
# Then the log switch: no log without Uninstall=1, none with an empty LogFile.
source "$(dirname "$0")/lib.sh"
InstallSetUp

Key='HKCU\Software\TarnE2E\Language'
MakeProject() {   # MakeProject DIR TARGET CONFIG-LINES...
  local Dir=$1
  InstallNewProject "$@"
  mkdir -p "$Dir/Data/Lang"
  printf 'everyone\r\n' >"$Dir/Data/Common.txt"
  printf 'russian only\r\n' >"$Dir/Data/Lang/Russian.txt"
  cat >"$Dir/Presetup/Test.ins" <<'INS'
[CopyFile]
Files=%InstallPath%
[Files]
Common.txt=
[CopyFile.RUS]
RussianFiles=%InstallPath%\Doc
[RussianFiles]
Lang\Russian.txt=Readme.txt
[AddReg]
Keys=HKCU\Software\TarnE2E\Language
[Keys]
Language=neutral
[AddReg.RUS]
RussianKeys=HKCU\Software\TarnE2E\Language
[RussianKeys]
Language=russian
INS
}

# --- the same setup in English and in Russian
Project=$TARN_ARTIFACTS/project
Target=$TARN_ARTIFACTS/target
rm -rf "$Target"
MakeProject "$Project" "$Target/App" 'Languages=ENU,RUS' 'Uninstall=1' 'UninstallProgram=' 'LogFile=%InstallPath%\install.log'
InstallBuild "$Project" "$TARN_ARTIFACTS/setup.exe"
Finish='wait-window "Installation complete" 60000
press 104
wait-gone'

"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
InstallRun english "$TARN_ARTIFACTS/setup.exe" en_US.UTF-8 <<<"$Finish"
InstallExpectSame "$Target/App/Common.txt" "$Project/Data/Common.txt"
InstallExpectAbsent "$Target/App/Doc"
E2eExpectEqual "$(InstallRegValue "$Key" Language)" "REG_SZ neutral" "English: registry value"
E2eExpectEqual "$(InstallLogSection "$Target/App/install.log" CopyFile | wc -l)" 1 "English: one file logged"

rm -rf "$Target"
"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
InstallRun russian "$TARN_ARTIFACTS/setup.exe" ru_RU.UTF-8 <<<"$Finish"
InstallExpectSame "$Target/App/Common.txt" "$Project/Data/Common.txt"
InstallExpectSame "$Target/App/Doc/Readme.txt" "$Project/Data/Lang/Russian.txt"
E2eExpectEqual "$(InstallRegValue "$Key" Language)" "REG_SZ russian" "Russian: registry value"
E2eExpectEqual "$(InstallLogSection "$Target/App/install.log" CopyFile | wc -l)" 2 "Russian: two files logged"
E2eExpectEqual "$(InstallLogSection "$Target/App/install.log" AddReg)" "$Key\\Language=russian" "Russian: value logged"

# --- no log: Uninstall off with a LogFile, and Uninstall on without one
Quiet=$TARN_ARTIFACTS/quiet
rm -rf "$Quiet"
MakeProject "$TARN_ARTIFACTS/project-off" "$Quiet/Off" 'LogFile=%InstallPath%\install.log'
InstallBuild "$TARN_ARTIFACTS/project-off" "$TARN_ARTIFACTS/setup-off.exe"
MakeProject "$TARN_ARTIFACTS/project-empty" "$Quiet/Empty" 'Uninstall=1' 'UninstallProgram=' 'LogFile='
InstallBuild "$TARN_ARTIFACTS/project-empty" "$TARN_ARTIFACTS/setup-empty.exe"
"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
InstallRun uninstall-off "$TARN_ARTIFACTS/setup-off.exe" <<<"$Finish"
"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
InstallRun logfile-empty "$TARN_ARTIFACTS/setup-empty.exe" <<<"$Finish"
InstallExpectSame "$Quiet/Off/Common.txt" "$TARN_ARTIFACTS/project-off/Data/Common.txt"
InstallExpectSame "$Quiet/Empty/Common.txt" "$TARN_ARTIFACTS/project-empty/Data/Common.txt"
Logs=$(find "$Quiet" -iname '*.log')
E2eExpectEqual "$Logs" "" "no log file"

"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
E2eFinish
