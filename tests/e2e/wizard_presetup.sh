#!/usr/bin/env bash
# Failures of the presetup stage: a stub with no archive says "Archive open
# error!" twice (the measuring and the extracting pass) and ends; a damaged
# Presetup entry ends the run with a message that the setup is damaged and
# without a page. Neither leaves its temporary folder behind, and both end
# with exit code 3 (the setup is damaged).
source "$(dirname "$0")/lib.sh"

E2eRequire "$TARN_STUB" "$TARN_DRIVER"
WizardExe=$TARN_STUB
WizardRun bare-stub
E2eDriver no-archive <<'SCRIPT'
wait-window Error
expect-text msgtext "Archive open error!"
screenshot archive-open-error
answer ok Error
answer ok Error
SCRIPT
[ $? = 0 ] || E2eFail "two \"Archive open error!\" boxes for a stub without archive"
E2eExpectExit=3 WizardEnd "the bare stub"

# A damaged Presetup entry: its data no longer matches its CRC.
WizardProject damaged
WizardWrite Tarn.ini <<'INI'
[Config]
PreInstallDialogSequence=DLG_WELCOME
INI
printf 'The first text file of the presetup group.\r\n' >"$WizardDir/Presetup/Notes.txt"
WizardBuildUnchecked damaged Notes.txt
WizardRun damaged
E2eDriver damaged <<'SCRIPT'
wait-window Error
expect-text-contains msgtext "Setup is damaged or incomplete"
answer ok Error
SCRIPT
[ $? = 0 ] || E2eFail "a damaged Presetup entry: the message that the setup is damaged"
E2eWait "$WizardPid" 30
E2eExpectEqual "$?" 3 "exit code after a damaged entry"
WizardExpectTempClean
E2eDriver after-damaged --timeout 2000 <<'SCRIPT'
list-windows
SCRIPT
grep -q 'Welcome' "$TARN_ARTIFACTS/after-damaged.log" && E2eFail "a page was shown after the damaged entry"
E2eFinish
