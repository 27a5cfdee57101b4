#!/usr/bin/env bash
# Installations that fail part-way, each ending as a user needs it: the old
# files intact, a clear message, the not-finished page, no registry values,
# no temporary file left beside the targets, the run's temporary folder gone.
#   - full disk: a Wine drive on a small tmpfs that fills up half-way, just
#     as the new version of a file that is already there is written;
#   - an archive cut short inside the payload;
#   - a flipped byte (CRC error) in an entry after others are installed,
#     over an older version of that file;
#   - a target whose folder is a file;
#   - a target in use, then a damaged entry: the not-finished page says that
#     a restart will still replace the file in use, and no restart follows.
# And one that must succeed: a read-only older target is replaced.
source "$(dirname "$0")/lib.sh"
InstallSetUp
E2eRequire "$TARN_HOLD_FILE"

Key='HKCU\Software\TarnE2E\Faults'
SessionKey='HKLM\System\CurrentControlSet\Control\Session Manager'
Mount=
DriveLink=
FaultsCleanup() {
  [ -n "$DriveLink" ] && rm -f "$DriveLink"
  if [ -n "$Mount" ]; then
    umount "$Mount" 2>/dev/null
    rmdir "$Mount" 2>/dev/null
  fi
  "$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
}
trap 'FaultsCleanup; E2eCleanup' EXIT
"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1

# FaultProject NAME TARGET-WINDOWS-PATH: a project in $TARN_ARTIFACTS/NAME
# whose instructions install every file of its Data folder (the test fills
# it first) and one registry value; sets Project.
FaultProject() {
  Project=$TARN_ARTIFACTS/$1
  InstallNewProject "$Project" /unused 'Uninstall=1' 'UninstallProgram=' 'LogFile=%InstallPath%\install.log'
  sed -i "s|^DefaultInstallPath=.*|DefaultInstallPath=$(sed 's/\\/\\\\/g' <<<"$2")\r|" "$Project/Presetup/Tarn.ini"
}
FaultInstructions() {
  {
    printf '[CopyFile]\r\nFiles=%%InstallPath%%\r\n[Files]\r\n'
    (cd "$Project/Data" && find . -type f | sed 's|^\./||; s|/|\\|g; s|$|=\r|' | sort)
    printf '[AddReg]\r\nKeys=%s\r\n[Keys]\r\nInstalled=1\r\n' "$Key"
  } >"$Project/Presetup/Test.ins"
}

# FlipByteAfter EXE TEXT: changes the byte after TEXT in the setup (a stored
# entry's data): its CRC no longer matches.
FlipByteAfter() {
  local Offset
  Offset=$(grep -a -b -o "$2" "$1" | head -n 1 | cut -d: -f1)
  if [ -z "$Offset" ]; then
    E2eFail "$2 not found in $(basename "$1")"
    return
  fi
  printf 'X' | dd of="$1" bs=1 seek=$((Offset + ${#2})) conv=notrunc status=none
}

# ExpectNotFinished NAME: the run's driver log shows an error box, then the
# not-finished page; no registry value was written and no temporary file
# stays beside the targets in TARGET.
ExpectFailedRun() {
  local Name=$1 Target=$2
  E2eExpectLine "$TARN_ARTIFACTS/$Name.log" '^ok   wait-window "Installation uncomplete"' "$Name: the not-finished page"
  grep -q 'Installation complete' "$TARN_ARTIFACTS/$Name.log" && E2eFail "$Name: the finish page was shown"
  E2eExpectEqual "$(InstallRegValue "$Key" Installed)" "" "$Name: no registry value"
  local Left
  Left=$(find "$Target" -iname 'Tar*.tmp' 2>/dev/null)
  [ -z "$Left" ] || E2eFail "$Name: temporary files left: $Left"
  WizardExpectTempClean
}

# FailedRunScript NAME [FIRST]: the driver script of a run that fails:
# FIRST (by default: wait for the progress dialog), the error box, the
# not-finished page without the restart notice.
FailedRunScript() {
  printf '%s\n' "${2:-wait-window \"Installation progress\" 30000}" 'answer ok Error' \
    'wait-window "Installation uncomplete" 30000' 'hidden 107' "screenshot $1-not-finished" 'press 104' 'wait-gone'
}

# --- a full disk: Part01..10.bin fill a quarter of it, then the new Big.dat
# (300,000 bytes) no longer fits beside the old one.
Mount=$(mktemp -d "$TARN_ARTIFACTS/tmpfs.XXXXXX")
if ! mount -t tmpfs -o size=320k tmpfs "$Mount"; then
  E2eFail "full disk: cannot mount a tmpfs (root needed)"
else
  Drive=
  for Letter in t u v w x y; do
    [ -e "$WINEPREFIX/dosdevices/$Letter:" ] || { Drive=$Letter; break; }
  done
  DriveLink=$WINEPREFIX/dosdevices/$Drive:
  ln -s "$Mount" "$DriveLink"
  Upper=$(tr 'a-z' 'A-Z' <<<"$Drive")
  FaultProject full "$Upper:\\App"
  for Part in 01 02 03 04 05 06 07 08 09 10; do
    head -c 1000 /dev/zero | tr '\0' "${Part: -1}" >"$Project/Data/Part$Part.bin"
  done
  seq 1 60000 | head -c 300000 >"$Project/Data/Big.dat"
  FaultInstructions
  InstallBuild "$Project" "$TARN_ARTIFACTS/full.exe"
  Order=$(InstallEntryOrder "$TARN_ARTIFACTS/full.exe" | tail -n 1)
  E2eExpectEqual "$Order" "Big.dat" "full disk: Big.dat comes last"
  mkdir -p "$Mount/App"
  printf 'old big file\r\n' >"$Mount/App/Big.dat"
  touch -d '2001-01-01' "$Mount/App/Big.dat"
  WizardTempBefore
  E2eExpectExit=1 InstallRun full "$TARN_ARTIFACTS/full.exe" < <(FailedRunScript full)
  E2eExpectLine "$TARN_ARTIFACTS/full.log" '^ok   answer ok Error: box "Error" text "Cannot extract file Data\\\\Big\.dat"' \
    "full disk: the file that did not fit is named"
  E2eExpectEqual "$(cat "$Mount/App/Big.dat")" $'old big file\r' "full disk: the old Big.dat is intact"
  InstallExpectSame "$Mount/App/Part10.bin" "$Project/Data/Part10.bin"
  ExpectFailedRun full "$Mount/App"
  rm -f "$DriveLink"
  DriveLink=
  umount "$Mount" && rmdir "$Mount"
  Mount=
fi

# --- an archive cut short inside the payload: A3.txt is cut in half.
Target=$TARN_ARTIFACTS/cut-target
rm -rf "$Target"
FaultProject cut "$(E2eWinPath "$Target")"
for Index in 1 2 3 4 5; do
  { printf 'MARKER-A%d ' "$Index"; seq 1 400; } >"$Project/Data/A$Index.txt"
done
FaultInstructions
InstallBuild "$Project" "$TARN_ARTIFACTS/cut.exe" --store
Offset=$(grep -a -b -o 'MARKER-A3' "$TARN_ARTIFACTS/cut.exe" | head -n 1 | cut -d: -f1)
truncate -s $((Offset + 500)) "$TARN_ARTIFACTS/cut.exe"
mkdir -p "$Target"
printf 'old fourth file\r\n' >"$Target/A4.txt"
touch -d '2001-01-01' "$Target/A4.txt"
WizardTempBefore
# The damage may show while the size is measured (no progress dialog) or
# while the files are written.
E2eExpectExit=3 InstallRun cut "$TARN_ARTIFACTS/cut.exe" < <(FailedRunScript cut 'list-windows')
E2eExpectLine "$TARN_ARTIFACTS/cut.log" \
  '^ok   answer ok Error: box "Error" text "(This setup is damaged or incomplete|Cannot extract file Data\\\\A3\.txt)' \
  "cut archive: the damage is named"
E2eExpectEqual "$(cat "$Target/A4.txt")" $'old fourth file\r' "cut archive: the old A4.txt is intact"
InstallExpectAbsent "$Target/A3.txt" "$Target/A5.txt"
ExpectFailedRun cut "$Target"

# --- a flipped byte in A3.txt after A1 and A2 are installed; an older A3.txt
# is there and stays.
Target=$TARN_ARTIFACTS/crc-target
rm -rf "$Target"
FaultProject crc "$(E2eWinPath "$Target")"
for Index in 1 2 3 4; do
  printf 'MARKER-A%d contents of the new version\r\n' "$Index" >"$Project/Data/A$Index.txt"
done
FaultInstructions
InstallBuild "$Project" "$TARN_ARTIFACTS/crc.exe" --store
FlipByteAfter "$TARN_ARTIFACTS/crc.exe" 'MARKER-A3 contents'
mkdir -p "$Target"
printf 'old third file\r\n' >"$Target/A3.txt"
touch -d '2001-01-01' "$Target/A3.txt"
WizardTempBefore
E2eExpectExit=1 InstallRun crc "$TARN_ARTIFACTS/crc.exe" < <(FailedRunScript crc)
E2eExpectLine "$TARN_ARTIFACTS/crc.log" '^ok   answer ok Error: box "Error" text "Cannot extract file Data\\\\A3\.txt"' \
  "CRC error: the damaged entry is named"
E2eExpectEqual "$(cat "$Target/A3.txt")" $'old third file\r' "CRC error: the old A3.txt is intact"
InstallExpectSame "$Target/A1.txt" "$Project/Data/A1.txt"
InstallExpectSame "$Target/A2.txt" "$Project/Data/A2.txt"
InstallExpectAbsent "$Target/A4.txt"
E2eExpectEqual "$(InstallLogSection "$Target/install.log" CopyFile)" \
  "$(printf '%s\n' "$(E2eWinPath "$Target/A1.txt")=" "$(E2eWinPath "$Target/A2.txt")=")" "CRC error: the log lists A1 and A2"
ExpectFailedRun crc "$Target"

# --- a target whose folder is a file: Sub\File.txt where Sub is a file.
Target=$TARN_ARTIFACTS/folder-target
rm -rf "$Target"
FaultProject folder "$(E2eWinPath "$Target")"
printf 'first\r\n' >"$Project/Data/A1.txt"
mkdir -p "$Project/Data/Sub"
printf 'inside\r\n' >"$Project/Data/Sub/File.txt"
FaultInstructions
InstallBuild "$Project" "$TARN_ARTIFACTS/folder.exe"
mkdir -p "$Target"
printf 'a file named Sub\r\n' >"$Target/Sub"
WizardTempBefore
E2eExpectExit=1 InstallRun folder "$TARN_ARTIFACTS/folder.exe" < <(FailedRunScript folder)
E2eExpectLine "$TARN_ARTIFACTS/folder.log" '^ok   answer ok Error: box "Error" text "Cannot extract file Data\\\\Sub\\\\File\.txt"' \
  "folder is a file: the entry is named"
E2eExpectEqual "$(cat "$Target/Sub")" $'a file named Sub\r' "folder is a file: the file Sub is intact"
InstallExpectSame "$Target/A1.txt" "$Project/Data/A1.txt"
ExpectFailedRun folder "$Target"

# --- a target in use (Locked.dll comes first), then a damaged A1.txt: the
# replacement stays scheduled, and the not-finished page says so.
PendingBefore=$("$TARN_WINE" reg query "$SessionKey" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | grep -c REG_MULTI_SZ)
Target=$TARN_ARTIFACTS/inuse-target
rm -rf "$Target"
FaultProject inuse "$(E2eWinPath "$Target")"
printf 'new library\r\n' >"$Project/Data/Locked.dll"
printf 'MARKER-A1 damaged in the setup\r\n' >"$Project/Data/A1.txt"
FaultInstructions
InstallBuild "$Project" "$TARN_ARTIFACTS/inuse.exe" --store
E2eExpectEqual "$(InstallEntryOrder "$TARN_ARTIFACTS/inuse.exe" | tr '\n' ' ')" "Locked.dll A1.txt " "in use: archive order"
FlipByteAfter "$TARN_ARTIFACTS/inuse.exe" 'MARKER-A1 damaged'
mkdir -p "$Target"
printf 'old library in use\r\n' >"$Target/Locked.dll"
touch -d '2001-01-01' "$Target/Locked.dll"
Stop=$TARN_ARTIFACTS/inuse-stop
rm -f "$Stop"
E2eStart inuse-holder "$TARN_HOLD_FILE" "$(E2eWinPath "$Target/Locked.dll")" "$(E2eWinPath "$Stop")"
Holder=$E2eLastPid
for Waited in $(seq 1 100); do
  grep -q holding "$TARN_ARTIFACTS/inuse-holder.out" 2>/dev/null && break
  sleep 0.1
done
WizardTempBefore
E2eExpectExit=1 InstallRun inuse "$TARN_ARTIFACTS/inuse.exe" <<'SCRIPT'
wait-window "Installation progress" 30000
answer ok Error
wait-window "Installation uncomplete" 30000
visible 107
expect-text-contains 107 "will still be replaced"
screenshot not-finished-restart
press 104
wait-gone
SCRIPT
: >"$Stop"
E2eWait "$Holder" 20 || E2eFail "in use: the holder did not end"
E2eExpectLine "$TARN_ARTIFACTS/inuse.log" '^ok   answer ok Error: box "Error" text "Cannot extract file Data\\\\A1\.txt"' \
  "in use: the damaged entry is named"
grep -q 'Reboot computer' "$TARN_ARTIFACTS/inuse.log" && E2eFail "in use: the restart page was shown"
[ -e "$InstallRestartLog" ] && E2eFail "in use: a restart was requested"
E2eExpectEqual "$(cat "$Target/Locked.dll")" $'old library in use\r' "in use: the held file is untouched"
Waiting=$(find "$Target" -maxdepth 1 -iname 'Tar*.tmp')
if [ -z "$Waiting" ] || ! cmp -s "$Waiting" "$Project/Data/Locked.dll"; then
  E2eFail "in use: the new library does not wait beside the old one ($Waiting)"
else
  "$TARN_WINE" reg query "$SessionKey" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' |
    grep -qiF "$(E2eWinPath "$Waiting")" || E2eFail "in use: no replacement of the library is pending"
fi
InstallExpectAbsent "$Target/A1.txt"
E2eExpectEqual "$(InstallRegValue "$Key" Installed)" "" "in use: no registry value"
WizardExpectTempClean
[ "$PendingBefore" = 0 ] &&
  "$TARN_WINE" reg delete "$SessionKey" /v PendingFileRenameOperations /f >/dev/null 2>&1

# --- a read-only older target is replaced, without a restart.
Target=$TARN_ARTIFACTS/readonly-target
rm -rf "$Target"
FaultProject readonly "$(E2eWinPath "$Target")"
printf 'new version\r\n' >"$Project/Data/A1.txt"
FaultInstructions
InstallBuild "$Project" "$TARN_ARTIFACTS/readonly.exe"
mkdir -p "$Target"
printf 'old read-only version\r\n' >"$Target/A1.txt"
touch -d '2001-01-01' "$Target/A1.txt"
chmod a-w "$Target/A1.txt"   # Wine shows a file without write permission as read-only
WizardTempBefore
InstallRun readonly "$TARN_ARTIFACTS/readonly.exe" <<'SCRIPT'
leave "Installation complete" 104 30000
SCRIPT
InstallExpectSame "$Target/A1.txt" "$Project/Data/A1.txt"
case "$(stat -c %A "$Target/A1.txt")" in
  ?rw*) ;;
  *) E2eFail "read-only: the new file is read-only: $(stat -c %A "$Target/A1.txt")" ;;
esac
E2eExpectEqual "$(InstallRegValue "$Key" Installed)" "REG_SZ 1" "read-only: the registry value"
[ -z "$(find "$Target" -iname 'Tar*.tmp')" ] || E2eFail "read-only: a temporary file stayed"
[ -e "$InstallRestartLog" ] && E2eFail "read-only: a restart was requested"
WizardExpectTempClean

E2eFinish
