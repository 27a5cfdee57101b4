#!/usr/bin/env bash
# Existing files at the targets: a newer one (by its version resource, and
# by its time) brings up the question; No keeps it and writes no log line,
# Yes replaces it. An older read-only file is replaced without a question.
source "$(dirname "$0")/lib.sh"
InstallSetUp
E2eRequire "$TARN_NEWER_VERSION"

Project=$TARN_ARTIFACTS/project
Target=$TARN_ARTIFACTS/target/App
rm -rf "$TARN_ARTIFACTS/target"
InstallNewProject "$Project" "$Target" 'Uninstall=1' 'UninstallProgram=' 'LogFile=%InstallPath%\install.log'
Data=$Project/Data
printf 'packaged version 1.0\r\n' >"$Data/Versioned.exe"
printf 'packaged text\r\n' >"$Data/Timed.txt"
printf 'packaged, replaces read-only\r\n' >"$Data/ReadOnly.txt"
printf 'packaged, nothing in the way\r\n' >"$Data/Fresh.txt"
cat >"$Project/Presetup/Test.ins" <<'INS'
[CopyFile]
Files=%InstallPath%
[Files]
Versioned.exe=,1.0.0.0
Timed.txt=
ReadOnly.txt=
Fresh.txt=
INS
InstallBuild "$Project" "$TARN_ARTIFACTS/setup.exe"

# In the way: a file of version 9.0.0.0, a file newer by its time, and an
# old read-only file.
mkdir -p "$Target"
cp "$TARN_NEWER_VERSION" "$Target/Versioned.exe"
touch -d '2001-01-01' "$Target/Versioned.exe"   # older by time: only the version may count
printf 'newer on disk\r\n' >"$Target/Timed.txt"
touch -d '+2 days' "$Target/Timed.txt"
printf 'old read-only\r\n' >"$Target/ReadOnly.txt"
touch -d '2001-01-01' "$Target/ReadOnly.txt"
chmod a-w "$Target/ReadOnly.txt"
cp "$Target/Versioned.exe" "$TARN_ARTIFACTS/versioned-before.exe"

# The questions come in archive order: No for the versioned file, Yes for the
# timed one. While a question is open, the progress line names its file.
Script='wait-window "Installation progress" 60000'
while IFS= read -r Name; do
  case "$Name" in
    Versioned.exe) Script+=$'\nexpect-text-contains 105 "Versioned.exe"\nanswer no "Newer file"' ;;
    Timed.txt) Script+=$'\nexpect-text-contains 105 "Timed.txt"\nanswer yes "Newer file"' ;;
  esac
done < <(InstallEntryOrder "$TARN_ARTIFACTS/setup.exe")
Script+=$'\nwait-window "Installation complete" 60000\npress 104\nwait-gone'
InstallRun setup "$TARN_ARTIFACTS/setup.exe" <<<"$Script"

Log=$TARN_ARTIFACTS/setup.log
E2eExpectLine "$Log" '^ok   answer no "Newer file": box "Newer file" text "Versioned.exe on your computer is newer. Replace it\?"' \
  "question for the file of a higher version"
E2eExpectLine "$Log" '^ok   answer yes "Newer file": box "Newer file" text "Timed.txt on your computer is newer. Replace it\?"' \
  "question for the file of a later time"
E2eExpectEqual "$(grep -c 'answer' "$Log")" 2 "exactly two questions"

cmp -s "$Target/Versioned.exe" "$TARN_ARTIFACTS/versioned-before.exe" || E2eFail "the newer versioned file was not kept"
InstallExpectSame "$Target/Timed.txt" "$Data/Timed.txt"
InstallExpectSame "$Target/ReadOnly.txt" "$Data/ReadOnly.txt"
InstallExpectSame "$Target/Fresh.txt" "$Data/Fresh.txt"
WinTarget=$(E2eWinPath "$Target")
Logged=$(InstallLogSection "$Target/install.log" CopyFile | sort)
E2eExpectEqual "$Logged" "$(printf '%s\n' "$WinTarget\\Fresh.txt=" "$WinTarget\\ReadOnly.txt=" "$WinTarget\\Timed.txt=" | sort)" \
  "log: the replaced and new files, not the kept one"
[ -e "$InstallRestartLog" ] && E2eFail "a restart was requested"
E2eFinish
