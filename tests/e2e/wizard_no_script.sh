#!/usr/bin/env bash
# A setup without Tarn.ini works with every default: no page before the
# installation, nothing installed, and only DLG_FINISH with the template's
# English texts (no ProgramName variable, so the reference stays).
source "$(dirname "$0")/lib.sh"

WizardProject bare
printf 'no script here\r\n' >"$WizardDir/Presetup/Notes.txt"
WizardBuild bare
WizardRun bare

E2eDriver finish <<'SCRIPT'
wait-window "Installation complete"
expect-text 106 "%ProgramName% has been successfully installed.\r\rPress the OK button to exit Setup program."
expect-text 104 "OK"
visible 104
screenshot finish
press 104
wait-gone
SCRIPT
[ $? = 0 ] || E2eFail "DLG_FINISH alone, with its English texts"
WizardEnd "DLG_FINISH"

# Nothing else was shown: the finish page was the first window the driver saw.
E2eExpectLine "$TARN_ARTIFACTS/finish.log" '^ok   wait-window "Installation complete"' "the finish page"
E2eFinish
