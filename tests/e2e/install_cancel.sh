#!/usr/bin/env bash
# Cancel in the progress dialog: the worker asks at the next entry. Answered
# No, the walk goes on (and a later Cancel asks again); answered Yes, the run
# ends as not finished: the files installed so far stay and are logged, no
# registry value is written. The newer-file questions hold the worker at
# known entries, so Cancel is pressed at a known point of the walk.
source "$(dirname "$0")/lib.sh"
InstallSetUp

Key='HKCU\Software\TarnE2E\Cancel'
Project=$TARN_ARTIFACTS/project
Target=$TARN_ARTIFACTS/target/App
rm -rf "$TARN_ARTIFACTS/target"
InstallNewProject "$Project" "$Target" 'Uninstall=1' 'UninstallProgram=' 'LogFile=%InstallPath%\install.log'
InstallPayload "$Project" 'Alpha.txt=packaged Alpha' 'Beta.txt=packaged Beta' 'Gamma.txt=packaged Gamma' \
  'Delta.txt=packaged Delta'
cat >>"$Project/Presetup/Test.ins" <<'INS'
[AddReg]
Keys=HKCU\Software\TarnE2E\Cancel
[Keys]
Installed=1
INS
InstallBuild "$Project" "$TARN_ARTIFACTS/setup.exe"
mapfile -t Order < <(InstallEntryOrder "$TARN_ARTIFACTS/setup.exe")
E2eExpectEqual "${#Order[@]}" 4 "payload entries"

# Entries 1 and 3 (in archive order) meet a newer file: the worker waits there.
mkdir -p "$Target"
for Index in 0 2; do
  printf 'newer on disk\r\n' >"$Target/${Order[$Index]}"
  touch -d '+2 days' "$Target/${Order[$Index]}"
done
"$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1

E2eExpectExit=2 InstallRun setup "$TARN_ARTIFACTS/setup.exe" <<'SCRIPT'
# entry 1: Cancel while its question is open; replace it
wait-window "Newer file" 60000
screenshot newer-question
wait-window "Installation progress"
press 103
answer yes "Newer file"
# entry 2: the cancel question; No goes on
answer no "Install Test"
# entry 3: Cancel again; keep the newer file
wait-window "Newer file" 30000
wait-window "Installation progress"
press 103
answer no "Newer file"
# entry 4: the question again; Yes ends the run
answer yes "Install Test"
leave "Installation uncomplete" 104 30000
SCRIPT

Log=$TARN_ARTIFACTS/setup.log
E2eExpectEqual "$(grep -c '^ok   answer [a-z]* "Install Test": box "Install Test" text "Do you want to cancel the installation?"' "$Log")" 2 \
  "the cancel question, asked twice"
InstallExpectSame "$Target/${Order[0]}" "$Project/Data/${Order[0]}"
InstallExpectSame "$Target/${Order[1]}" "$Project/Data/${Order[1]}"
E2eExpectEqual "$(cat "$Target/${Order[2]}")" $'newer on disk\r' "the kept newer file"
InstallExpectAbsent "$Target/${Order[3]}"
WinTarget=$(E2eWinPath "$Target")
E2eExpectEqual "$(InstallLogSection "$Target/install.log" CopyFile)" \
  "$(printf '%s\n' "$WinTarget\\${Order[0]}=" "$WinTarget\\${Order[1]}=")" "the files installed before the cancel are logged"
E2eExpectEqual "$(InstallRegValue "$Key" Installed)" "" "no registry value after a cancel"
E2eExpectEqual "$(InstallLogSection "$Target/install.log" AddReg)" "" "no registry line in the log"
E2eFinish
