#!/usr/bin/env bash
# The pre-installation pages walked with Next and Back (the first page has no
# Back; a directory typed before Back is there again after Next), Cancel
# answered No (the page stays) and Yes (DLG_NOTFINISH), the close box, and
# the licence's No (DLG_NOTFINISH without a question).
source "$(dirname "$0")/lib.sh"

WizardProject sequence
WizardWrite Tarn.ini <<'INI'
[Config]
PreInstallDialogSequence=DLG_WELCOME,DLG_LICENSE,DLG_README,DLG_DIR,DLG_START
DefaultInstallPath=C:\Seq Test
[Variables]
ProgramName=Seq Test
INI
WizardWrite Tarn.str <<'STR'
[Strings]
1=Really cancel %ProgramName%?
STR
printf 'Licence text.\r\n' >"$WizardDir/Presetup/License.txt"
printf 'Readme text.\r\n' >"$WizardDir/Presetup/Readme.txt"
WizardBuild sequence

# 1. Next and Back through every page, then the finish page.
WizardRun forward
E2eDriver forward <<'SCRIPT'
wait-window "Welcome!"
hidden 101
visible 102
screenshot welcome
press 102
wait-gone
wait-window "License agreement"
visible 101
expect-text 108 "Licence text.\r\n"
expect-text 105 "Yes"
press 105
wait-gone
wait-window "Readme information"
expect-text 106 "Readme text.\r\n"
expect-text 105 "Read some important information about Seq Test."
press 102
wait-gone
wait-window "Installation directory"
expect-text 106 "C:\\Seq Test"
type 106 "D:\\Typed Dir"
press 101
wait-gone
leave "Readme information" 102
wait-window "Installation directory"
expect-text 106 "D:\\Typed Dir"
screenshot directory
press 102
wait-gone
leave "Start install" 101
wait-window "Installation directory"
expect-text 106 "D:\\Typed Dir"
press 102
wait-gone
wait-window "Start install"
expect-text-contains 105 "You are now ready to install Seq Test."
press 102
wait-gone
wait-window "Installation complete"
expect-text-contains 106 "Seq Test has been successfully installed."
press 104
wait-gone
SCRIPT
[ $? = 0 ] || E2eFail "Next and Back through the pages"
WizardEnd "the walk forward"

# 2. Cancel answered No keeps the page; Yes cancels.
WizardRun cancel
E2eDriver cancel <<'SCRIPT'
leave "Welcome!" 102
leave "License agreement" 105
wait-window "Readme information"
press 103
answer no "Seq Test"
wait-window "Readme information"
press 103
answer yes "Seq Test"
wait-gone
wait-window "Installation uncomplete"
expect-text 106 "Seq Test hasn't been properly installed and will not work correctly if you try to use it."
screenshot notfinish
press 104
wait-gone
SCRIPT
[ $? = 0 ] || E2eFail "Cancel answered No, then Yes"
E2eExpectExit=2 WizardEnd "a cancel"
E2eExpectLine "$TARN_ARTIFACTS/cancel.log" '^ok   answer no "Seq Test": box "Seq Test" text "Really cancel Seq Test\?"' "the cancel question with the program name as caption"

# 3. The close box asks the same question.
WizardRun closebox
E2eDriver closebox <<'SCRIPT'
wait-window "Welcome!"
close
answer no "Seq Test"
wait-window "Welcome!"
close
answer yes "Seq Test"
wait-gone
leave "Installation uncomplete" 104
SCRIPT
[ $? = 0 ] || E2eFail "the close box"
E2eExpectExit=2 WizardEnd "the close box"

# 4. The licence's No ends the pages at once, without a question.
WizardRun license-no
E2eDriver license-no <<'SCRIPT'
leave "Welcome!" 102
leave "License agreement" 106
wait-window "Installation uncomplete"
list-windows
press 104
wait-gone
SCRIPT
[ $? = 0 ] || E2eFail "the licence's No"
E2eExpectExit=2 WizardEnd "the licence's No"
grep -q 'Seq Test' <(grep -v 'TarnMainWindow' "$TARN_ARTIFACTS/license-no.log" | grep '^info window') &&
  E2eFail "a question box was open after the licence's No"
E2eFinish
