#!/usr/bin/env bash
# The pages around the installation, with the texts they read: the licence
# page shows License.<code> over License.txt and falls back to License.txt
# when the language's file is empty; the first page of the post-installation
# sequence has no Back (nothing before it can be shown again), and Cancel
# there, confirmed, ends on the not-finished page (as No on the licence page
# does without a question), and the setup with exit code 2 (cancelled).
source "$(dirname "$0")/lib.sh"
InstallSetUp

Project=$TARN_ARTIFACTS/project
Target=$TARN_ARTIFACTS/target/App
InstallNewProject "$Project" "$Target" 'Languages=ENU' 'PreInstallDialogSequence=DLG_LICENSE' \
  'PostInstallDialogSequence=DLG_README,DLG_START'
printf 'packaged\r\n' >"$Project/Data/Alpha.txt"
printf '%s\r\n' '[CopyFile]' 'Files=%InstallPath%' '[Files]' 'Alpha.txt=' >"$Project/Presetup/Test.ins"
printf 'The licence in English.\r\n' >"$Project/Presetup/License.ENU"
printf 'The neutral licence.\r\n' >"$Project/Presetup/License.txt"
printf 'The readme.\r\n' >"$Project/Presetup/Readme.txt"
InstallBuild "$Project" "$TARN_ARTIFACTS/language.exe"
: >"$Project/Presetup/License.ENU"
InstallBuild "$Project" "$TARN_ARTIFACTS/fallback.exe"

E2eExpectExit=2 InstallRun language "$TARN_ARTIFACTS/language.exe" <<'SCRIPT'
wait-window "License agreement" 30000
expect-text-contains 108 "The licence in English."
press 106
leave "Installation uncomplete" 104 30000
SCRIPT

E2eExpectExit=2 InstallRun fallback "$TARN_ARTIFACTS/fallback.exe" <<'SCRIPT'
wait-window "License agreement" 30000
expect-text-contains 108 "The neutral licence."
press 105
wait-window "Readme information" 30000
screenshot post-installation-first-page
hidden 101
press 103
answer yes "Install Test"
leave "Installation uncomplete" 104 30000
SCRIPT
InstallExpectSame "$Target/Alpha.txt" "$Project/Data/Alpha.txt"
E2eFinish
