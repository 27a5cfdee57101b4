#!/usr/bin/env bash
# DLL planting: a version.dll and a comctl32.dll planted in the folder the
# setup runs from (a Downloads folder) must never run inside it. The plants
# leave a marker when loaded and forward every call to the system's copy.
# Wine prefers its own copies of system DLLs; native-first overrides for
# the two names reproduce Windows' search order, where the program's folder
# comes first for any DLL that is not on the KnownDLLs list.
#
# The setup (the demo) runs every page, opens and cancels the folder
# browser, and installs over an existing versioned file (so the newer-file
# test reads file versions). No marker may appear. Two probe programs
# first show what the plants do here (tests/security/PlantProbe.c): one that
# imports the two DLLs must load the plants, and whatever a program that
# imports only KnownDLLs loads as well is the platform's doing; for
# version.dll, which Wine's own advapi32 imports, the test then asks that
# the setup never calls through the planted copy.
source "$(dirname "$0")/lib.sh"

Sources=$TARN_ROOT/tests/security
Downloads=$TARN_ARTIFACTS/downloads
Target="$TARN_ARTIFACTS/target/Tarn Demo"
E2eRequire "$TARN_TARNPACK" "$TARN_STUB" "$TARN_DRIVER"
rm -rf "$Downloads" "$TARN_ARTIFACTS/target"
mkdir -p "$Downloads"

# The plants and probes are built for the setup's architecture, and forward
# to the system copies of that architecture.
if x86_64-w64-mingw32-objdump -f "$TARN_STUB" | grep -q 'file format pei-i386'; then
  Cc=(i686-w64-mingw32-gcc-posix -Wl,--enable-stdcall-fixup)
  SystemCopies=$WINEPREFIX/drive_c/windows/syswow64
else
  Cc=(x86_64-w64-mingw32-gcc-posix)
  SystemCopies=$WINEPREFIX/drive_c/windows/system32
fi
Planted=(version comctl32)
VersionOwnCalls=(GetFileVersionInfoSizeA GetFileVersionInfoA VerQueryValueA)
for Name in "${Planted[@]}"; do
  Own=()
  Define=()
  if [ "$Name" = version ]; then Own=("${VersionOwnCalls[@]}"); Define=(-DPLANTED_VERSION); fi
  python3 "$Sources/make-forwarders.py" "$SystemCopies/$Name.dll" "C:\\windows\\system32\\$Name" "${Own[@]}" \
    >"$TARN_ARTIFACTS/$Name.def" &&
    "${Cc[@]}" -shared -s -static "${Define[@]}" -o "$Downloads/$Name.dll" "$Sources/PlantedDll.c" \
      "$TARN_ARTIFACTS/$Name.def" || { E2eFail "building the planted $Name.dll"; E2eFinish; }
done
"${Cc[@]}" -s -static -o "$TARN_ARTIFACTS/bystander.exe" "$Sources/PlantProbe.c" -lole32 -lshell32 -lgdi32 &&
  "${Cc[@]}" -s -static -DIMPORT_PLANTED -o "$TARN_ARTIFACTS/importer.exe" "$Sources/PlantProbe.c" \
    -lversion -lcomctl32 -lole32 -lshell32 -lgdi32 || { E2eFail "building the probes"; E2eFinish; }

export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;version,comctl32=n,b"
# Double-clicked in Explorer, a program starts in its own folder.
cd "$Downloads" || exit 1

# Marker NAME SUFFIX: true when the plant NAME left that marker (the file
# name's case is the one the loader used).
Marker() {
  ls -A "$Downloads" | grep -q -i -x "$1\.dll\.$2"
}
ClearMarkers() {
  find "$Downloads" -maxdepth 1 \( -iname '*.loaded' -o -iname '*.used' \) -delete
}

# RunProbe NAME: runs a probe program from the Downloads folder.
RunProbe() {
  cp "$TARN_ARTIFACTS/$1.exe" "$Downloads/$1.exe"
  ClearMarkers
  "$TARN_WINE" "$Downloads/$1.exe" </dev/null >"$TARN_ARTIFACTS/$1.out" 2>&1
  rm -f "$Downloads/$1.exe"
}

RunProbe importer
for Name in "${Planted[@]}"; do
  Marker "$Name" loaded || E2eFail "the planted $Name.dll is not loaded even by a program that imports it: the test proves nothing here"
done
E2eExpectLine "$TARN_ARTIFACTS/importer.out" '^version calls: ok' "calls through the planted version.dll"
E2eExpectLine "$TARN_ARTIFACTS/importer.out" '^comctl32 calls: ok' "calls through the planted comctl32.dll"
[ "$E2eFailures" = 0 ] || E2eFinish

# What is loaded without the setup's doing is judged by use instead.
RunProbe bystander
declare -A Judge
for Name in "${Planted[@]}"; do
  Judge[$Name]=loaded
  if Marker "$Name" loaded; then
    E2eLog "the platform itself loads the planted $Name.dll into any program"
    if [ "$Name" = version ]; then
      Judge[$Name]=used
    else
      E2eFail "$Name.dll is loaded into a program that imports only KnownDLLs: the test cannot judge it here"
    fi
  fi
done
ClearMarkers

"$TARN_TARNPACK" build "$TARN_ROOT/examples/demo" -o "$Downloads/setup.exe" --stub "$TARN_STUB" \
  >"$TARN_ARTIFACTS/build.log" 2>&1 || { cat "$TARN_ARTIFACTS/build.log"; E2eFail "tarnpack build"; E2eFinish; }
# An installed copy of the versioned file: the installation compares versions.
mkdir -p "$Target/Bin"
cp -p "$TARN_ROOT/examples/demo/Data/Bin/DemoTool.dll" "$Target/Bin/DemoTool.dll"
for Key in 'HKCU\Software\Tarn Demo' 'HKLM\Software\Tarn Demo'; do
  "$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
done

E2eStart setup "$Downloads/setup.exe"
SetupPid=$E2eLastPid
E2eDriver walk --timeout 60000 <<SCRIPT
leave "Choose language" 102
leave "Welcome!" 102
leave "License agreement" 105
leave "Readme information" 102
wait-window "Installation directory"
press 107
wait-window "Browse for Folder"
screenshot browse
press cancel
wait-gone
wait-window "Installation directory"
type 106 "$(E2eWinPath "$Target" | sed 's/\\/\\\\/g')"
press 102
wait-gone
leave "Start install" 102
leave "Readme information" 102
wait-window "Installation complete"
screenshot finish
press 104
wait-gone
SCRIPT
[ $? = 0 ] || E2eFail "the walk through the demo's pages"
E2eWait "$SetupPid" 60
E2eExpectEqual "$?" 0 "exit code of the setup"

for File in Demo.txt Doc/Guide.txt Doc/Notes.txt Bin/DemoTool.dll Config/Settings.ini; do
  [ -f "$Target/$File" ] || E2eFail "the demo did not install $File"
done
for Name in "${Planted[@]}"; do
  if Marker "$Name" "${Judge[$Name]}"; then
    E2eFail "the planted $Name.dll was ${Judge[$Name]} by the setup"
  else
    E2eLog "the planted $Name.dll was not ${Judge[$Name]} by the setup"
  fi
done

for Key in 'HKCU\Software\Tarn Demo' 'HKLM\Software\Tarn Demo'; do
  "$TARN_WINE" reg delete "$Key" /f >/dev/null 2>&1
done
E2eFinish
