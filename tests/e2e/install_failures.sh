#!/usr/bin/env bash
# Runs that must end as not finished, each with its message and without the
# registry values:
#   - too little disk space: the install folder's drive reports no free
#     space (an unmapped drive); 513 bytes need 1 KiB: text 4, no progress
#     dialog. 512 bytes (half a KiB, rounded to the even 0) pass the check;
#     the files then cannot be written: "Cannot extract file".
#   - a damaged payload entry: "Cannot extract file Data\...", the files
#     before it stay installed and logged.
source "$(dirname "$0")/lib.sh"
InstallSetUp

Key='HKCU\Software\TarnE2E\Failures'
# MakeProject DIR TARGET-WINDOWS-PATH: a project installing Data\*.txt and one registry value.
MakeProject() {
  local Dir=$1
  InstallNewProject "$Dir" /unused 'Uninstall=1' 'UninstallProgram=' 'LogFile=%InstallPath%\install.log'
  sed -i "s|^DefaultInstallPath=.*|DefaultInstallPath=$(sed 's/\\/\\\\/g' <<<"$2")\r|" "$Dir/Presetup/Tarn.ini"
  cat >"$Dir/Presetup/Test.ins" <<'INS'
[CopyFile]
Files=%InstallPath%
[Files]
One.txt=
Two.txt=
[AddReg]
Keys=HKCU\Software\TarnE2E\Failures
[Keys]
Installed=1
INS
}
"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1

# --- disk space: 513 bytes on a drive without free space
MakeProject "$TARN_ARTIFACTS/full" 'Q:\Tarn Test'
head -c 501 /dev/zero | tr '\0' 'a' >"$TARN_ARTIFACTS/full/Data/One.txt"
head -c 12 /dev/zero | tr '\0' 'b' >"$TARN_ARTIFACTS/full/Data/Two.txt"
InstallBuild "$TARN_ARTIFACTS/full" "$TARN_ARTIFACTS/full.exe"
E2eExpectExit=1 InstallRun full "$TARN_ARTIFACTS/full.exe" <<'SCRIPT'
wait-window Error 30000
list-windows
answer ok Error
leave "Installation uncomplete" 104 30000
SCRIPT
E2eExpectLine "$TARN_ARTIFACTS/full.log" '^ok   answer ok Error: box "Error" text "Not enough free disk space\."' \
  "513 bytes: the disk-space error"
grep -q 'Installation progress' "$TARN_ARTIFACTS/full.log" && E2eFail "513 bytes: a progress dialog was shown"
E2eExpectEqual "$(InstallRegValue "$Key" Installed)" "" "513 bytes: no registry value"

# --- 512 bytes round to 0 KiB: the check passes, writing then fails
MakeProject "$TARN_ARTIFACTS/small" 'Q:\Tarn Test'
head -c 500 /dev/zero | tr '\0' 'a' >"$TARN_ARTIFACTS/small/Data/One.txt"
head -c 12 /dev/zero | tr '\0' 'b' >"$TARN_ARTIFACTS/small/Data/Two.txt"
InstallBuild "$TARN_ARTIFACTS/small" "$TARN_ARTIFACTS/small.exe"
E2eExpectExit=1 InstallRun small "$TARN_ARTIFACTS/small.exe" <<'SCRIPT'
wait-window "Installation progress" 30000
answer ok Error
leave "Installation uncomplete" 104 30000
SCRIPT
E2eExpectLine "$TARN_ARTIFACTS/small.log" '^ok   answer ok Error: box "Error" text "Cannot extract file Data\\\\(One|Two)\.txt"' \
  "512 bytes: past the disk check, the first file cannot be written"
E2eExpectEqual "$(InstallRegValue "$Key" Installed)" "" "512 bytes: no registry value"

# --- a damaged entry: stored, so its bytes can be changed in place
Target=$TARN_ARTIFACTS/damaged-target
rm -rf "$Target"
MakeProject "$TARN_ARTIFACTS/damaged" "$(E2eWinPath "$Target")"
printf 'first file, intact\r\n' >"$TARN_ARTIFACTS/damaged/Data/One.txt"
printf 'SECOND-FILE-MARKER, damaged in the setup\r\n' >"$TARN_ARTIFACTS/damaged/Data/Two.txt"
InstallBuild "$TARN_ARTIFACTS/damaged" "$TARN_ARTIFACTS/damaged.exe" --store
# One.txt must come first for "the files before it stay".
Order=$(InstallEntryOrder "$TARN_ARTIFACTS/damaged.exe" | tr '\n' ' ')
E2eExpectEqual "$Order" "One.txt Two.txt " "archive order"
Offset=$(grep -a -b -o 'SECOND-FILE-MARKER' "$TARN_ARTIFACTS/damaged.exe" | head -n 1 | cut -d: -f1)
if [ -z "$Offset" ]; then
  E2eFail "the stored entry was not found in the setup"
else
  printf 'X' | dd of="$TARN_ARTIFACTS/damaged.exe" bs=1 seek="$Offset" conv=notrunc status=none
fi
E2eExpectExit=1 InstallRun damaged "$TARN_ARTIFACTS/damaged.exe" <<'SCRIPT'
wait-window "Installation progress" 30000
answer ok Error
leave "Installation uncomplete" 104 30000
SCRIPT
E2eExpectLine "$TARN_ARTIFACTS/damaged.log" '^ok   answer ok Error: box "Error" text "Cannot extract file Data\\\\Two\.txt"' \
  "damaged entry: its name in the error"
InstallExpectSame "$Target/One.txt" "$TARN_ARTIFACTS/damaged/Data/One.txt"
InstallExpectAbsent "$Target/Two.txt"
E2eExpectEqual "$(InstallLogSection "$Target/install.log" CopyFile)" "$(E2eWinPath "$Target/One.txt")=" \
  "damaged entry: the file before it logged"
E2eExpectEqual "$(InstallRegValue "$Key" Installed)" "" "damaged entry: no registry value"

"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
E2eFinish
