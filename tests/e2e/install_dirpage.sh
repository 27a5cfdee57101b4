#!/usr/bin/env bash
# The installation folder page keeps the user on it until the folder is a
# full path: Next with the relative default "Test", an empty text, a path
# without drive (\Rooted) or one relative to a drive (C:Folder) brings a
# message and the page again. A full path whose folder name holds "="
# (Tools=Old) then installs there, and every path in the log's [CopyFile]
# section reads back exactly when its line is read whole.
source "$(dirname "$0")/lib.sh"
InstallSetUp

Base=$TARN_ARTIFACTS/base
Target=$Base/Tools=Old
rm -rf "$Base"
mkdir -p "$Base"
Project=$TARN_ARTIFACTS/project
InstallNewProject "$Project" /unused 'PreInstallDialogSequence=DLG_DIR' 'Uninstall=1' 'UninstallProgram=' \
  'LogFile=%InstallPath%\install.log'
sed -i 's|^DefaultInstallPath=.*|DefaultInstallPath=Test\r|' "$Project/Presetup/Tarn.ini"
InstallPayload "$Project" 'One.txt=first' 'Doc\Two.txt=second'
InstallBuild "$Project" "$TARN_ARTIFACTS/dirpage.exe"

Full=$(E2eWinPath "$Target")
InstallRun dirpage "$TARN_ARTIFACTS/dirpage.exe" <<SCRIPT
wait-window "Installation directory" 30000
expect-text 106 "Test"
press 102
wait-window "Install Test" 5000
screenshot relative-refused-message
answer ok
wait-window "Installation directory" 5000
screenshot relative-refused-page
type 106 ""
press 102
answer ok
type 106 "\\\\Rooted"
press 102
answer ok
type 106 "C:Folder"
press 102
answer ok
wait-window "Installation directory" 5000
type 106 "$(sed 's/\\/\\\\/g' <<<"$Full")"
press 102
leave "Installation complete" 104 30000
SCRIPT
Refused=$(grep -c '^ok   answer ok: box .* text "Please enter the full path of the installation folder' "$TARN_ARTIFACTS/dirpage.log")
E2eExpectEqual "$Refused" 4 "four folders refused with the full-path message"
InstallExpectSame "$Target/One.txt" "$Project/Data/One.txt"
InstallExpectSame "$Target/Doc/Two.txt" "$Project/Data/Doc/Two.txt"
InstallExpectAbsent "$TARN_ARTIFACTS/Test"

# Read whole, without the final "=", each [CopyFile] line is a path that was installed.
Logged=$(InstallLogSection "$Target/install.log" CopyFile | sed 's/=$//')
E2eExpectEqual "$Logged" "$(printf '%s\n' "$Full\\One.txt" "$Full\\Doc\\Two.txt")" "the log's paths read whole"
E2eFinish
