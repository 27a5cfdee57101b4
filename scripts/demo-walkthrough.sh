#!/usr/bin/env bash
# Builds the demo setup (examples/demo) and runs it under Wine.
#   build/demo/setup.exe       the i686 setup a user ships: the one run here
#                              wherever Wine runs 32-bit programs
#   build/demo/setup-x64.exe   its x86_64 twin, run instead on machines that
#                              run no 32-bit code
# On a desktop the setup opens there for a person to click through. Without
# one (no $DISPLAY, or an Xvfb display) the end-to-end driver walks every
# page, saving a screenshot of each; their paths are printed at the end. The
# same setup is then installed silently (/S) after the walked one is removed,
# and uninstalled silently (/S) in its turn.
# Needs the builds of scripts/build.sh (host tarnpack, win32 and win64 stubs
# and the win64 driver).
# Usage: scripts/demo-walkthrough.sh [--auto]   (--auto: walk even with a display)
set -uo pipefail
cd "$(dirname "$0")/.."
Root=$(pwd)
Out=$Root/build/demo
Tarnpack=${TARN_TARNPACK:-$Root/build/host/src/pack/tarnpack}
Stub32=${TARN_STUB32:-$Root/build/win32/src/setup/tarn-setup.exe}
Stub64=${TARN_STUB64:-$Root/build/win64/src/setup/tarn-setup.exe}
# Walked automatically with --auto, without a display, or on a virtual one
# (Xvfb, as the main job starts on a machine without a desktop).
Auto=no
[ "${1:-}" = --auto ] && Auto=yes
if [ -z "${DISPLAY:-}" ]; then
  Auto=yes
elif ps -eo args= | grep -q "^Xvfb ${DISPLAY%.*}\( \|\$\)"; then
  Auto=yes
fi

Say() { printf 'demo: %s\n' "$*"; }

for File in "$Tarnpack" "$Stub32" "$Stub64"; do
  if [ ! -f "$File" ]; then
    Say "missing $File (build it first: scripts/build.sh)"
    exit 1
  fi
done

mkdir -p "$Out"
Say "building the demo setup"
"$Tarnpack" build examples/demo -o "$Out/setup.exe" --stub "$Stub32" || { Say "tarnpack build failed (i686)"; exit 1; }
"$Tarnpack" build examples/demo -o "$Out/setup-x64.exe" --stub "$Stub64" || { Say "tarnpack build failed (x86_64)"; exit 1; }
Say "$Out/setup.exe: $(stat -c %s "$Out/setup.exe") bytes (the setup to ship)"
Say "$Out/setup-x64.exe: $(stat -c %s "$Out/setup-x64.exe") bytes (its x86_64 twin)"

# The setup that runs: the i686 one wherever the Wine session runs 32-bit
# programs (scripts/wine-session.sh probes it), else the x86_64 twin.
ChooseSetup() {
  if [ "${TARN_WINE32:-no}" = yes ]; then
    Setup=$Out/setup.exe
    Say "running $Setup (i686)"
  else
    Setup=$Out/setup-x64.exe
    Say "running $Setup, the x86_64 twin: no 32-bit programs here (${TARN_WINE32_WHY:-not probed})"
  fi
}

if [ "$Auto" = no ]; then
  # A person clicks through on the desktop, in a fresh prefix of its own.
  source "$Root/scripts/wine-session.sh"
  if [ -z "${TARN_WINE_SESSION:-}" ]; then
    trap WineSessionStop EXIT
    trap 'exit 130' INT TERM
    WineSessionStart when-needed || { Say "no Wine session"; exit 1; }
  fi
  ChooseSetup
  Say "the setup opens on $DISPLAY; the run ends when you leave its last page"
  "$TARN_WINE" "$Setup"
  Say "setup ended with exit code $?"
  exit 0
fi

# Walked through automatically: the end-to-end harness starts Xvfb and the
# prefix, runs the driver script below and takes the screenshots it asks for.
# (A caller's artifact folder, such as the main job's, gets a subfolder.)
export TARN_ARTIFACTS=${TARN_ARTIFACTS:-$Out}/walkthrough
rm -rf "$TARN_ARTIFACTS"
unset TARN_STUB
source "$Root/tests/e2e/lib.sh"
E2eRequire "$TARN_DRIVER"
ChooseSetup
# The expectations below follow the setup that runs (lib.sh's helpers).
E2eSetupBits=$(E2ePeBits "$Setup")

E2eStart setup "$Setup"
SetupPid=$E2eLastPid

# Each page is found by its caption; the walk waits for the page it left to
# go before it looks for the next one, and lets a page finish painting
# before its picture is taken.
E2eDriver walkthrough --timeout 60000 <<'SCRIPT'
wait-window "Choose language"
read-list 106
hidden 101
screenshot 01-language
press 102
wait-gone
wait-window "Welcome!"
expect-text-contains 105 "Welcome to the setup of Tarn Demo 1.0."
screenshot 02-welcome
press 102
wait-gone
wait-window "License agreement"
expect-text-contains 108 "TARN DEMO LICENCE AGREEMENT"
screenshot 03-license
press 105
wait-gone
wait-window "Readme information"
expect-text-contains 106 "TARN DEMO 1.0 - READ ME"
screenshot 04-readme
press 102
wait-gone
wait-window "Installation directory"
read-text 106
expect-text-contains 106 "\\Tarn Demo"
screenshot 05-directory
press 102
wait-gone
wait-window "Start install"
expect-text-contains 105 "You are now ready to install Tarn Demo."
screenshot 06-start
press 102
wait-gone
wait-window "Readme information"
hidden 101
screenshot 07-readme-after
press 102
wait-gone
wait-window "Installation complete"
expect-text-contains 106 "Tarn Demo has been successfully installed."
screenshot 08-finish
press 104
wait-gone
SCRIPT
[ $? = 0 ] || E2eFail "the walk through the demo's pages failed"

E2eWait "$SetupPid" 60
E2eExpectEqual "$?" 0 "exit code of the setup"

WinInstalled="$(E2eProgramFiles)\\Tarn Demo"
Installed=$(E2eUnixPath "$WinInstalled")
if [ -n "$Installed" ] && [ -d "$Installed" ]; then
  Say "installed into $WinInstalled:"
  (cd "$Installed" && find . -type f | sort | sed 's/^/  /')
else
  Say "nothing was installed into $WinInstalled"
fi
Say "screenshots of every page:"
for Shot in "$TARN_ARTIFACTS"/*.png; do
  [ -f "$Shot" ] && printf '  %s\n' "$Shot"
done
Say "driver log: $TARN_ARTIFACTS/walkthrough.log"
# ---- what the installation left (installation engine) ----
# The registry values of Demo.ins and the installation log, read back from
# the prefix the setup ran in.
for Key in 'HKCU\Software\Tarn Demo' 'HKLM\Software\Tarn Demo'; do
  Say "registry $Key (in the 64-bit view: $(E2eRegKey "$Key")):"
  "$TARN_WINE" reg query "$(E2eRegKey "$Key")" 2>/dev/null | tr -d '\r' | sed -n -E 's/^ +(.*)$/  \1/p'
done
Log="$Installed/install.log"
if [ -f "$Log" ]; then
  Say "installation log $WinInstalled\\install.log:"
  tr -d '\r' <"$Log" | sed 's/^/  /'
else
  E2eFail "no installation log at $Log"
fi
for File in Demo.txt Doc/Guide.txt Doc/Notes.txt Bin/DemoTool.dll Config/Settings.ini; do
  [ -f "$Installed/$File" ] || E2eFail "the demo did not install $File"
done
# ---- end of the installation engine's block ----

# Counted before the uninstaller removes the log: the silent install below
# must list as many files.
Walked=$(tr -d '\r' <"$Installed/install.log" | sed -n '/^\[CopyFile\]/,/^\[/p' | grep -c '=$')
# ---- the uninstaller: the entry in "Apps & features", then the removal ----
Entry=$(E2eRegKey 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarn Demo')
Say "\"Apps & features\" entry (in the 64-bit view: $Entry):"
"$TARN_WINE" reg query "$Entry" 2>/dev/null | tr -d '\r' | sed -n -E 's/^ +(.*)$/  \1/p'
E2eStart uninstall "$Installed/Uninstall.exe"
UninstallPid=$E2eLastPid
E2eDriver uninstall --timeout 60000 <<'SCRIPT'
wait-window "Uninstall"
expect-text-contains 105 "Tarn Demo will be removed"
screenshot 09-uninstall
press 102
wait-window "Uninstall complete"
expect-text-contains 106 "Tarn Demo has been removed"
screenshot 10-uninstalled
press 104
wait-gone
SCRIPT
[ $? = 0 ] || E2eFail "the walk through the uninstaller's pages failed"
E2eWait "$UninstallPid" 60
E2eExpectEqual "$?" 0 "exit code of the uninstaller"
Say "left after the uninstall:"
Left=$( { [ -d "$Installed" ] && (cd "$Installed" && find . -mindepth 1 | sort); } )
if [ -z "$Left" ]; then
  Say "  nothing in $WinInstalled (the folder is gone)"
else
  printf '%s\n' "$Left" | sed 's/^/  /'
  Say "  (the uninstaller's own file, renamed, and its folder go at the next start of Windows)"
  grep -qviE '^\./Tar[^/]*\.tmp$' <<<"$Left" && E2eFail "the uninstall left more than the uninstaller itself"
fi
for Key in 'HKCU\Software\Tarn Demo' 'HKLM\Software\Tarn Demo'; do
  Values=$("$TARN_WINE" reg query "$(E2eRegKey "$Key")" 2>/dev/null | tr -d '\r' | grep -c REG_)
  Say "registry $Key: $Values value(s) left"
  [ "$Values" = 0 ] || E2eFail "values left under $Key"
done
"$TARN_WINE" reg query "$Entry" >/dev/null 2>&1 && E2eFail "the \"Apps & features\" entry is still there"

# ---- the same setup installed silently, after the walked one ----
# /S with the folder and language given, as an administrator's script would
# run it: no window may appear; the files must be the project's and the
# uninstall log must list as many as the walked run's did, and the
# diagnostic log tells what was done.
WinSilent="$(E2eProgramFiles)\\Tarn Demo Silent"
Silent=$(E2eUnixPath "$WinSilent")
SilentLog=$TARN_ARTIFACTS/silent-install.log
rm -f "$SilentLog"
E2eRunWindowless silent 60 "$(E2eWinPath "$Setup") /S /LANG=ENU /LOG=$(E2eWinPath "$SilentLog") /D=$WinSilent"
E2eExpectEqual "$E2eExitCode" 0 "exit code of the silent install"
if [ -n "$Silent" ] && [ -d "$Silent" ]; then
  Say "installed silently into $WinSilent:"
  (cd "$Silent" && find . -type f | sort | sed 's/^/  /')
  for Pair in Demo.txt:Demo.txt Doc/Guide.txt:Doc/Guide.txt Doc/Notes.txt:Doc/Notes.txt \
    Bin/DemoTool.dll:Bin/DemoTool.dll Config/Settings.ini:Settings.ini; do
    cmp -s "examples/demo/Data/${Pair#*:}" "$Silent/${Pair%%:*}" || E2eFail "the silent install's ${Pair%%:*} differs"
  done
  SilentLines=$(tr -d '\r' <"$Silent/install.log" | sed -n '/^\[CopyFile\]/,/^\[/p' | grep -c '=$')
  E2eExpectEqual "$SilentLines" "$Walked" "files in the silent install's uninstall log"
else
  E2eFail "nothing was installed silently into $WinSilent"
fi
Say "diagnostic log of the silent install ($SilentLog):"
tr -d '\r' <"$SilentLog" 2>/dev/null | sed 's/^/  /'

# ---- the silently installed demo uninstalled silently ----
# As "Apps & features" or a script would run its QuietUninstallString: no
# window, exit code 0, nothing of the demo left.
SilentUninstallLog=$TARN_ARTIFACTS/silent-uninstall.log
rm -f "$SilentUninstallLog"
E2eRunWindowless silent-uninstall 60 "\"$WinSilent\\Uninstall.exe\" /S /LOG=$(E2eWinPath "$SilentUninstallLog")"
E2eExpectEqual "$E2eExitCode" 0 "exit code of the silent uninstall"
Left=$( { [ -n "$Silent" ] && [ -d "$Silent" ] && (cd "$Silent" && find . -mindepth 1 | sort); } )
Say "left after the silent uninstall:"
if [ -z "$Left" ]; then
  Say "  nothing in $WinSilent (the folder is gone)"
else
  printf '%s\n' "$Left" | sed 's/^/  /'
  grep -qviE '^\./Tar[^/]*\.tmp$' <<<"$Left" && E2eFail "the silent uninstall left more than the uninstaller itself"
fi
for Key in 'HKCU\Software\Tarn Demo' 'HKLM\Software\Tarn Demo'; do
  Values=$("$TARN_WINE" reg query "$(E2eRegKey "$Key")" 2>/dev/null | tr -d '\r' | grep -c REG_)
  [ "$Values" = 0 ] || E2eFail "values left under $Key after the silent uninstall"
done
"$TARN_WINE" reg query "$Entry" >/dev/null 2>&1 && E2eFail "the \"Apps & features\" entry is still there after the silent uninstall"
Say "diagnostic log of the silent uninstall ($SilentUninstallLog):"
tr -d '\r' <"$SilentUninstallLog" 2>/dev/null | sed 's/^/  /'
E2eFinish
