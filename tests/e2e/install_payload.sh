#!/usr/bin/env bash
# The setup installs what its instructions select, byte for byte and with the
# archive's times: group targets of every form, a source named in another
# case, and nothing else (entries not named, names without "." after
# "Data\"). Registry values of both types, an empty value cancelling an
# earlier one, and the log: files in archive order with their final paths,
# values only when new, the old lines of an existing log kept.
source "$(dirname "$0")/lib.sh"
InstallSetUp

Project=$TARN_ARTIFACTS/project
Target=$TARN_ARTIFACTS/target/App
Key='HKCU\Software\TarnE2E\Payload'
MachineKey='HKLM\Software\TarnE2E\Payload'
rm -rf "$TARN_ARTIFACTS/target"
InstallNewProject "$Project" "$Target" 'Uninstall=1' 'UninstallProgram=' 'LogFile=%InstallPath%\install.log'
Data=$Project/Data
mkdir -p "$Data/Sub" "$Data/Deep/Er" "$Data/Case"
printf 'first file\r\n' >"$Data/A.txt"
printf 'second file\r\n' >"$Data/Sub/B.txt"
head -c 70000 /dev/urandom >"$Data/Deep/Er/C.bin"
printf 'renamed\r\n' >"$Data/Renamed.txt"
printf 'mixed case\r\n' >"$Data/Case/Mixed.txt"
printf 'twice\r\n' >"$Data/Dup.txt"
printf 'not named\r\n' >"$Data/Unnamed.txt"
printf 'named through a variable\r\n' >"$Data/Via.txt"
printf 'no extension\r\n' >"$Data/LICENSE"
printf 'no extension\r\n' >"$Data/Sub/NoExt"
touch -d '2021-06-15 10:20:31' "$Data/A.txt"
touch -d '2019-01-02 03:04:05' "$Data/Deep/Er/C.bin"
cat >"$Project/Presetup/Test.ins" <<'INS'
[CopyFile]
Main=%InstallPath%
Later=%InstallPath%\Later
[Main]
A.txt=
Sub\B.txt=
Deep\Er\C.bin=
Renamed.txt=Other\New.txt
CASE\MIXED.TXT=
Dup.txt=First.txt
%NoDotFile%=
%DotFile%=
%NoDotSub%\NoExt=
[Later]
Dup.txt=Second.txt
[AddReg]
Values=HKCU\Software\TarnE2E\Payload
Machine=HKLM\Software\TarnE2E\Payload
Cancel=HKCU\Software\TarnE2E\Payload
[Values]
Twelve=#12
Hex=#$FF
Abc=#abc
Text=12
Path=%InstallPath%
Existing=new
Cancelled=set first
[Machine]
Switch=on
[Cancel]
Cancelled=
INS
# The two names without "." come through language variables, which the
# builder cannot check: so the setup itself is put to the test. Via.txt,
# named the same way, shows that the names do arrive.
printf '[Variables.ENG]\r\nNoDotFile=LICENSE\r\nNoDotSub=Sub\r\nDotFile=Via.txt\r\n' >>"$Project/Presetup/Tarn.ini"
InstallBuild "$Project" "$TARN_ARTIFACTS/setup.exe"

# A value that exists before is overwritten but not logged; an old log keeps its lines.
"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
"$TARN_WINE" reg delete "$(E2eRegKey "$MachineKey")" /f >/dev/null 2>&1
"$TARN_WINE" reg add "$Key" /v Existing /d old /f >/dev/null 2>&1
mkdir -p "$Target"
printf '[CopyFile]\r\nZ:\\Old\\Kept.txt=\r\n[Other]\r\nKept=1\r\n' >"$Target/install.log"

InstallRun setup "$TARN_ARTIFACTS/setup.exe" <<'SCRIPT'
leave "Installation complete" 104 60000
SCRIPT

InstallExpectSame "$Target/A.txt" "$Data/A.txt"
InstallExpectSame "$Target/Sub/B.txt" "$Data/Sub/B.txt"
InstallExpectSame "$Target/Deep/Er/C.bin" "$Data/Deep/Er/C.bin"
InstallExpectSame "$Target/Other/New.txt" "$Data/Renamed.txt"
InstallExpectSame "$Target/CASE/MIXED.TXT" "$Data/Case/Mixed.txt"
InstallExpectSame "$Target/Later/Second.txt" "$Data/Dup.txt"
InstallExpectSame "$Target/Via.txt" "$Data/Via.txt"
InstallExpectAbsent "$Target/First.txt" "$Target/Unnamed.txt" "$Target/LICENSE" "$Target/Sub/NoExt" \
  "$Target/Renamed.txt" "$Target/Dup.txt"

# Log: the old lines, then every installed file in archive order.
WinTarget=$(E2eWinPath "$Target")
declare -A Final=(
  ["A.txt"]="$WinTarget\\A.txt" ["Sub\\B.txt"]="$WinTarget\\Sub\\B.txt"
  ["Deep\\Er\\C.bin"]="$WinTarget\\Deep\\Er\\C.bin" ["Renamed.txt"]="$WinTarget\\Other\\New.txt"
  ["Case\\Mixed.txt"]="$WinTarget\\CASE\\MIXED.TXT" ["Dup.txt"]="$WinTarget\\Later\\Second.txt"
  ["Via.txt"]="$WinTarget\\Via.txt")
Expected='Z:\Old\Kept.txt='
while IFS= read -r Name; do
  [ -n "${Final[$Name]:-}" ] && Expected+=$'\n'"${Final[$Name]}="
done < <(InstallEntryOrder "$TARN_ARTIFACTS/setup.exe")
E2eExpectEqual "$(InstallLogSection "$Target/install.log" CopyFile)" "$Expected" "[CopyFile] of the log"
E2eExpectEqual "$(InstallLogSection "$Target/install.log" Other)" "Kept=1" "other lines of the old log"
E2eExpectEqual "$(InstallLogSection "$Target/install.log" AddReg)" "$(printf '%s\n' \
  "$Key\\Twelve=#12" "$Key\\Hex=#\$FF" "$Key\\Abc=#abc" "$Key\\Text=12" "$Key\\Path=$WinTarget" \
  "$MachineKey\\Switch=on")" "[AddReg] of the log"

E2eExpectEqual "$(InstallRegValue "$Key" Twelve)" "REG_DWORD 0xc" "#12"
E2eExpectEqual "$(InstallRegValue "$Key" Hex)" "REG_DWORD 0xff" "#\$FF"
E2eExpectEqual "$(InstallRegValue "$Key" Abc)" "REG_DWORD 0x0" "#abc"
E2eExpectEqual "$(InstallRegValue "$Key" Text)" "REG_SZ 12" "12"
E2eExpectEqual "$(InstallRegValue "$Key" Path)" "REG_SZ $WinTarget" "expanded path"
E2eExpectEqual "$(InstallRegValue "$Key" Existing)" "REG_SZ new" "existing value overwritten"
E2eExpectEqual "$(InstallRegValue "$Key" Cancelled)" "" "value cancelled by an empty one"
E2eExpectEqual "$(InstallRegValue "$MachineKey" Switch)" "REG_SZ on" "HKLM value"
[ -e "$InstallRestartLog" ] && E2eFail "a restart was requested"

"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
"$TARN_WINE" reg delete "$(E2eRegKey "$MachineKey")" /f >/dev/null 2>&1
E2eFinish
