#!/usr/bin/env bash
# Variables and texts as the user sees them: %ProgramFiles% in the default
# directory shown expanded, "||" as line breaks, undefined and lower-case
# references left as written, the order in which Tarn.dlg's sections
# override each other, quoted blanks kept, and a licence longer than 1023
# characters expanded whole; Browse prompts with text 150, and cancelling the
# browser leaves the directory as it was.
source "$(dirname "$0")/lib.sh"

WizardProject texts
WizardWrite Tarn.ini <<'INI'
[Config]
Languages=ENU
PreInstallDialogSequence=DLG_WELCOME,DLG_LICENSE,DLG_DIR
DefaultInstallPath=%ProgramFiles%\Texts Demo
[Variables]
ProgramName=Texts Demo
INI
WizardWrite Tarn.str <<'STR'
[Strings]
150=Pick a folder for %ProgramName%:
STR
WizardWrite Tarn.dlg <<'DLG'
[Dialogs]
101=Back D
102=Next D
103=Cancel D
[DLG_WELCOME]
105=Line one||Line two %Undefined% %programname% %ProgramName%
[DLG_DIR]
103=Cancel own
107=Browse own
105=" Target folder "
Caption=%ProgramName% folder
[Dialogs.ENU]
102=Next lang
107=Browse lang
[DLG_DIR.ENU]
102=Next own lang
DLG
{
  printf 'LICENCE START\r\n'
  for I in $(seq 1 40); do printf 'Clause %02d of the licence, long enough to matter.\r\n' "$I"; done
  printf 'Granted by %%ProgramName%%.||END\r\n'
} >"$WizardDir/Presetup/License.txt"
[ "$(stat -c %s "$WizardDir/Presetup/License.txt")" -gt 1100 ] || E2eFail "the licence is too short to test"
WizardBuild texts

WizardRun texts
E2eDriver texts <<'SCRIPT'
wait-window "Welcome!"
expect-text 105 "Line one\rLine two %Undefined% %programname% Texts Demo"
expect-text 102 "Next lang"
expect-text 103 "Cancel D"
press 102
wait-gone
wait-window "License agreement"
expect-text-contains 108 "LICENCE START\r\nClause 01"
expect-text-contains 108 "Granted by Texts Demo.\rEND\r\n"
press 105
wait-gone
wait-window "Texts Demo folder"
expect-text 101 "Back D"
expect-text 102 "Next own lang"
expect-text 103 "Cancel own"
expect-text 107 "Browse lang"
expect-text 105 " Target folder "
expect-text-contains 108 "where are you want to install Texts Demo."
read-text 106
screenshot directory
press 107
wait-window "Browse for Folder"
dump
screenshot browse
press cancel
wait-gone
wait-window "Texts Demo folder"
read-text 106
press 102
wait-gone
leave "Installation complete" 104
SCRIPT
[ $? = 0 ] || E2eFail "the texts of the pages"
WizardEnd "the texts run"

# The directory is %ProgramFiles% expanded: the setup's Program Files (the
# driver's log doubles backslashes). Cancelling the browser left it as it was.
Expected="$(E2eProgramFiles)\\Texts Demo"
Expected=${Expected//\\/\\\\}
Shown=$(sed -n -E 's/^ok   read-text 106: "(.*)"$/\1/p' "$TARN_ARTIFACTS/texts.log")
E2eExpectEqual "$Shown" "$Expected"$'\n'"$Expected" "the directory shown, before the browser and after"
# Browse opens the folder browser with text 150 as its prompt.
E2eExpectLine "$TARN_ARTIFACTS/texts.log" 'class Static text "Pick a folder for Texts Demo:"' "the browser's prompt"
E2eFinish
