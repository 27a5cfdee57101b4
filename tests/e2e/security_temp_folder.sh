#!/usr/bin/env bash
# The temporary folder of an elevated setup (Wine runs programs with an
# elevated administrator token): made new in the Windows folder's Temp, not
# in the user's, with an access list that admits no ordinary user, read
# back (tests/security/ShowSecurity.cpp) while the setup waits on its first
# page; gone after the run. A folder that cannot be made is a clear error.
# Wine keeps no access lists but maps them to Unix permissions, and reads
# the Unix owner back as the user: the exact list the setup asks for is
# checked by the unit test SupportRunTempDir.AdminOnlySecurity...
source "$(dirname "$0")/lib.sh"

ShowSecurity=$TARN_WIN_BUILD/tests/tarn-show-security.exe
E2eRequire "$ShowSecurity"
SystemTemp=$WINEPREFIX/drive_c/windows/temp
UserTemp=$(WizardTempFolder)

WizardProject elevated
WizardWrite Tarn.ini <<'INI'
[Config]
PreInstallDialogSequence=DLG_WELCOME
[Variables]
ProgramName=Temp Test
INI
WizardBuild elevated

SystemBefore=$(ls -A "$SystemTemp" | sort)
UserBefore=$(ls -A "$UserTemp" | sort)
WizardRun elevated
E2eDriver welcome <<'SCRIPT'
wait-window "Welcome!"
SCRIPT
[ $? = 0 ] || E2eFail "the first page"
NewIn() {   # NewIn FOLDER BEFORE: the entries made since
  comm -13 <(printf '%s\n' "$2") <(ls -A "$1" | sort) | grep -v '^$'
}
UserMade=$(NewIn "$UserTemp" "$UserBefore")
SystemMade=$(NewIn "$SystemTemp" "$SystemBefore")
E2eExpectEqual "$UserMade" "" "new entries in the user's Temp folder"
E2eExpectEqual "$(grep -c -E '^[0-9A-V]{8}$' <<<"$SystemMade")" 1 "new folders in the Windows Temp folder ($SystemMade)"
# The run's folder, wherever it is: its access list is read back.
Folder=$(grep -E '^[0-9A-V]{8}$' <<<"$SystemMade" | head -n 1)
WinFolder="C:\\windows\\temp\\$Folder"
if [ -z "$Folder" ] && [ -n "$UserMade" ]; then
  Folder=$(head -n 1 <<<"$UserMade")
  WinFolder="C:\\users\\$(id -un)\\Temp\\$Folder"
fi
if [ -n "$Folder" ]; then
  "$TARN_WINE" "$ShowSecurity" "$WinFolder" </dev/null 2>/dev/null | tr -d '\r' >"$TARN_ARTIFACTS/security.txt"
  cat "$TARN_ARTIFACTS/security.txt"
  E2eExpectLine "$TARN_ARTIFACTS/security.txt" ' dacl=(P|AI|PAI)?\(' "the folder has an access list"
  # Everyone, Users, Authenticated Users, Interactive: any ordinary user.
  for Principal in WD BU AU IU; do
    grep -q -E "\((A|OA);[^)]*;;;$Principal\)" "$TARN_ARTIFACTS/security.txt" &&
      E2eFail "the folder admits $Principal"
  done
fi

E2eDriver cancel <<'SCRIPT'
wait-window "Welcome!"
press 103
answer yes "Temp Test"
wait-gone
leave "Installation uncomplete" 104
SCRIPT
[ $? = 0 ] || E2eFail "cancelling the run"
E2eExpectExit=2 WizardEnd "the cancelled run"

# No folder can be made: the Windows Temp folder is missing (put back
# whatever happens, for the tests that share the prefix).
RestoreSystemTemp() {
  [ -d "$SystemTemp.aside" ] && mv "$SystemTemp.aside" "$SystemTemp"
  return 0
}
trap 'RestoreSystemTemp; E2eCleanup' EXIT
mv "$SystemTemp" "$SystemTemp.aside"
WizardRun no-folder
E2eDriver no-folder <<'SCRIPT'
wait-window Error
expect-text msgtext "Cannot create temporary folder!"
screenshot no-folder
answer ok Error
SCRIPT
[ $? = 0 ] || E2eFail "the error for a folder that cannot be made"
E2eWait "$WizardPid" 30
E2eExpectEqual "$?" 1 "exit code after the error"
E2eExpectEqual "$(NewIn "$UserTemp" "$UserBefore")" "" "a folder made elsewhere instead"
RestoreSystemTemp
E2eFinish
