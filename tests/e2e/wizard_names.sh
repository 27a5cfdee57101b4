#!/usr/bin/env bash
# Dialog names in the sequence: lower case works (names are upper-cased), and
# a name with no template is passed over in the direction of travel, forward
# after Next and backward after Back, without the run ever hanging on it;
# a page with only unknown names before it has no Back button.
source "$(dirname "$0")/lib.sh"

WizardProject names
WizardWrite Tarn.ini <<'INI'
[Config]
PreInstallDialogSequence=dlg_welcome,dlg_nosuch,Dlg_Start
INI
# tarnpack refuses unknown names.
WizardBuildUnchecked names

WizardRun names
E2eDriver names <<'SCRIPT'
wait-window "Welcome!"
hidden 101
press 102
wait-gone
wait-window "Start install"
visible 101
press 101
wait-gone
leave "Welcome!" 102
leave "Start install" 102
leave "Installation complete" 104
SCRIPT
[ $? = 0 ] || E2eFail "lower-case names and an unknown name"
WizardEnd "the names run"

# An unknown first name: the page after it is the first one shown, so it has
# no Back button (there is nothing to go back to).
WizardProject first
WizardWrite Tarn.ini <<'INI'
[Config]
PreInstallDialogSequence=dlg_nosuch,dlg_welcome
INI
WizardBuildUnchecked first
WizardRun first
E2eDriver first <<'SCRIPT'
wait-window "Welcome!"
hidden 101
press 102
wait-gone
leave "Installation complete" 104
SCRIPT
[ $? = 0 ] || E2eFail "an unknown first name"
WizardEnd "the run with an unknown first name"
E2eFinish
