#!/usr/bin/env bash
# The demo installed twice with the setup users ship: once walked through its
# pages by the driver (a double-clicked run, no arguments: exit code 0 as
# before), once silently (/S /LANG= /LOG= /D= with blanks) in a session whose
# own language is Russian. The silent run shows no window and leaves the same
# files, registry values and uninstall log in its folder as the walked one in
# its own; its diagnostic log tells what it did, line by line.
# A third run, silent without /LANG=, takes the session's language (Russian
# files). Every run has a time limit.
source "$(dirname "$0")/lib.sh"
E2eRequire "$TARN_TARNPACK" "$TARN_STUB" "$TARN_DRIVER"

Setup=$TARN_ARTIFACTS/setup.exe
"$TARN_TARNPACK" build "$TARN_ROOT/examples/demo" -o "$Setup" --stub "$TARN_STUB" >"$TARN_ARTIFACTS/build.log" 2>&1 ||
  { cat "$TARN_ARTIFACTS/build.log"; E2eFail "tarnpack build of the demo"; E2eFinish; }
Keys=('HKCU\Software\Tarn Demo' 'HKLM\Software\Tarn Demo')
ClearKeys() {
  local Key
  for Key in "${Keys[@]}"; do "$TARN_WINE" reg delete "$(E2eRegKey "$Key")" /f >/dev/null 2>&1; done
}

# Snapshot NAME FOLDER: files (with their checksums), registry values and the
# uninstall log of one run, its folder written as FOLDER.
Snapshot() {
  local Name=$1 Folder=$2 WinFolder Key
  WinFolder=$(E2eWinPath "$Folder")
  {
    (cd "$Folder" && find . -type f ! -name install.log -exec md5sum {} + | sort -k2)
    for Key in "${Keys[@]}"; do
      echo "[$Key]"
      "$TARN_WINE" reg query "$(E2eRegKey "$Key")" 2>/dev/null | tr -d '\r' | sed -n -E 's/^ +(.*)$/\1/p' | sort
    done
    echo "[install.log]"
    tr -d '\r' <"$Folder/install.log"
  } | From=$WinFolder awk '{ From = ENVIRON["From"]; while ((At = index(tolower($0), tolower(From))) > 0)
        $0 = substr($0, 1, At - 1) "FOLDER" substr($0, At + length(From)); print }' >"$TARN_ARTIFACTS/$Name.snapshot"
}

# --- walked: every page with its default, the folder typed on DLG_DIR
Walked=$TARN_ARTIFACTS/walked/Demo
rm -rf "$TARN_ARTIFACTS/walked"
mkdir -p "$TARN_ARTIFACTS/walked"   # the folders the run makes (in the log) are then the same
ClearKeys
E2eStart walked "$Setup"
Pid=$E2eLastPid
E2eDriver walked --timeout 60000 <<SCRIPT || E2eFail "the walk through the demo's pages"
leave "Choose language" 102
leave "Welcome!" 102
leave "License agreement" 105
leave "Readme information" 102
wait-window "Installation directory"
type 106 "$(E2eWinPath "$Walked" | sed 's/\\/\\\\/g')"
press 102
wait-gone
leave "Start install" 102
leave "Readme information" 102
leave "Installation complete" 104
SCRIPT
E2eWait "$Pid" 60
E2eExpectEqual "$?" 0 "walked: exit code"
Snapshot walked "$Walked"

# --- silent, English asked for in a Russian session, a folder with blanks
Silent="$TARN_ARTIFACTS/silent/Tarn Demo Folder"
rm -rf "$TARN_ARTIFACTS/silent"
mkdir -p "$TARN_ARTIFACTS/silent"
ClearKeys
Log=$TARN_ARTIFACTS/silent.diag.log
rm -f "$Log"
E2eRunWindowless silent 60 \
  "$(E2eWinPath "$Setup") /S /LANG=enu \"/LOG=$(E2eWinPath "$Log")\" /D=$(E2eWinPath "$Silent")" ru_RU.UTF-8
E2eExpectEqual "$E2eExitCode" 0 "silent: exit code"
Snapshot silent "$Silent"
diff -u "$TARN_ARTIFACTS/walked.snapshot" "$TARN_ARTIFACTS/silent.snapshot" >"$TARN_ARTIFACTS/snapshots.diff" ||
  { cat "$TARN_ARTIFACTS/snapshots.diff"; E2eFail "silent: files, registry or uninstall log differ from the walked run"; }
grep -q 'Demo.txt' "$TARN_ARTIFACTS/silent.snapshot" || E2eFail "silent: nothing installed"

# The diagnostic log: every line stamped, in the order of the run.
Stamp='^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} '
E2eExpectEqual "$(tr -d '\r' <"$Log" | grep -c -v -E "$Stamp")" 0 "diagnostic log: every line has a time stamp"
WinSilent=$(E2eWinPath "$Silent")
Order=0
ExpectNext() {
  local Pattern=$1 Line
  Line=$(tr -d '\r' <"$Log" | grep -n -E "$Stamp$Pattern" | head -n 1 | cut -d: -f1)
  if [ -z "$Line" ]; then
    E2eFail "diagnostic log: no line /$Pattern/"
  elif [ "$Line" -le "$Order" ]; then
    E2eFail "diagnostic log: /$Pattern/ out of order (line $Line)"
  else
    Order=$Line
  fi
}
Quoted() { sed 's/[][\.*^$()+?{}|]/\\&/g' <<<"$1"; }
ExpectNext "command line: .*/S /LANG=enu"
ExpectNext "Windows: .+"
ExpectNext "language: ENU$"
ExpectNext "folder: $(Quoted "$WinSilent")$"
ExpectNext "instruction file: Demo\.ins$"
ExpectNext "installed: $(Quoted "$WinSilent")\\\\Demo\.txt$"
ExpectNext "registry value: HKCU\\\\Software\\\\Tarn Demo\\\\InstallPath=$(Quoted "$WinSilent")$"
ExpectNext "exit code 0$"

# --- silent without /LANG=: the session's language, as the language page would preselect it
Russian=$TARN_ARTIFACTS/russian/Demo
rm -rf "$TARN_ARTIFACTS/russian"
E2eRunWindowless russian 60 "$(E2eWinPath "$Setup") -s -D=$(E2eWinPath "$Russian")" ru_RU.UTF-8
E2eExpectEqual "$E2eExitCode" 0 "russian: exit code"
[ -f "$Russian/Doc/Readme.rus.txt" ] || E2eFail "russian: the Russian files were not installed"
[ -f "$Silent/Doc/Readme.rus.txt" ] && E2eFail "silent: /LANG=enu installed the Russian files"
ClearKeys
E2eFinish
