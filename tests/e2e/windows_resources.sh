#!/usr/bin/env bash
# The setup's own resources as Windows reads them. A project with the
# [Config] keys ProductName, ProductVersion, Publisher, Description,
# Copyright and Icon (an orange .ico of 16, 32, 48 and 256 pixels) is built
# once per ExecutionLevel. For each setup:
#   - the manifest (decompiled by windres, not by tarnpack's own reader)
#     asks for the chosen level;
#   - GetFileVersionInfo/VerQueryValue give the product's texts and numbers,
#     ExtractIcon finds an icon and LoadImage gives the product's images at
#     every size (tests/windows/ResourceProbe.cpp);
#   - it starts under Wine and its page shows (screenshot level-<L>.png, the
#     caption with the orange icon), and cancelling ends it with exit code 2.
# The same project without the keys keeps the stub's own version texts.
source "$(dirname "$0")/lib.sh"

Probe=$TARN_WIN_BUILD/tests/tarn-resource-probe.exe
E2eRequire "$TARN_TARNPACK" "$TARN_STUB" "$TARN_DRIVER" "$Probe"
Windres=x86_64-w64-mingw32-windres

Project=$TARN_ARTIFACTS/project
rm -rf "$Project"
mkdir -p "$Project/Presetup" "$Project/Data"
printf 'payload\r\n' >"$Project/Data/Payload.txt"
convert -size 256x256 'xc:#FF8000' -define icon:auto-resize=256,48,32,16 "$Project/Presetup/Product.ico" ||
  { E2eFail "making the icon with ImageMagick"; E2eFinish; }

# WriteScript LEVEL [KEYS]: Tarn.ini with the level and, when KEYS is "keys",
# the product's keys.
WriteScript() {
  {
    printf '[Config]\r\nPreInstallDialogSequence=DLG_WELCOME\r\n'
    [ -n "$1" ] && printf 'ExecutionLevel=%s\r\n' "$1"
    if [ "${2:-}" = keys ]; then
      printf 'ProductName=%%ProgramName%%\r\nProductVersion=3.1.4 beta\r\nPublisher=Orange Works\r\n'
      printf 'Description=Installs %%ProgramName%%\r\nCopyright=(c) Orange Works\r\nIcon=Product.ico\r\n'
    fi
    printf '[Variables]\r\nProgramName=Orange Tool\r\n'
  } >"$Project/Presetup/Tarn.ini"
}

# Build NAME: the setup NAME.exe from the project; sets Setup.
Build() {
  Setup=$TARN_ARTIFACTS/$1.exe
  "$TARN_TARNPACK" build "$Project" -o "$Setup" --stub "$TARN_STUB" >"$TARN_ARTIFACTS/$1.build.log" 2>&1 ||
    { cat "$TARN_ARTIFACTS/$1.build.log"; E2eFail "tarnpack build $1"; return 1; }
  "$TARN_TARNPACK" test "$Setup" >"$TARN_ARTIFACTS/$1.test.log" 2>&1 || E2eFail "tarnpack test $1"
}

# RunProbe NAME: what Windows reads of NAME.exe, into NAME.probe.
RunProbe() {
  "$TARN_WINE" "$Probe" "$(E2eWinPath "$TARN_ARTIFACTS/$1.exe")" </dev/null 2>/dev/null | tr -d '\r' \
    >"$TARN_ARTIFACTS/$1.probe"
}

declare -A ManifestLevel=([admin]=requireAdministrator [highest]=highestAvailable [user]=asInvoker)
for Level in admin highest user; do
  E2eLog "--- ExecutionLevel=$Level"
  WriteScript "$Level" keys
  Build "level-$Level" || continue
  Manifest=$("$Windres" -i "$Setup" -O rc 2>/dev/null | grep -o 'requestedExecutionLevel level=""[A-Za-z]*""')
  E2eExpectEqual "$Manifest" "requestedExecutionLevel level=\"\"${ManifestLevel[$Level]}\"\"" "the manifest of level $Level"

  RunProbe "level-$Level"
  Probed=$TARN_ARTIFACTS/level-$Level.probe
  E2eExpectLine "$Probed" '^version 3\.1\.4\.0$' "the version numbers ($Level)"
  E2eExpectLine "$Probed" '^text ProductName "Orange Tool"$' "the product name ($Level)"
  E2eExpectLine "$Probed" '^text ProductVersion "3\.1\.4 beta"$' "the product version text ($Level)"
  E2eExpectLine "$Probed" '^text CompanyName "Orange Works"$' "the publisher ($Level)"
  E2eExpectLine "$Probed" '^text FileDescription "Installs Orange Tool"$' "the description ($Level)"
  E2eExpectLine "$Probed" '^text LegalCopyright "\(c\) Orange Works"$' "the copyright ($Level)"
  E2eExpectLine "$Probed" "^text OriginalFilename \"level-$Level\\.exe\"\$" "the file name ($Level)"
  E2eExpectLine "$Probed" '^extract-icon yes$' "ExtractIcon finds the icon ($Level)"
  # Wine 8 decodes the 256-pixel PNG image with red and blue swapped, so
  # only its size is asked for; the bitmaps must be orange.
  for Size in 16 32 48; do
    E2eExpectLine "$Probed" "^icon $Size ${Size}x$Size centre #FF8000\$" "the $Size-pixel image of the icon ($Level)"
  done
  E2eExpectLine "$Probed" '^icon 256 256x256 ' "the 256-pixel image of the icon ($Level)"

  E2eStart "level-$Level" "$Setup"
  SetupPid=$E2eLastPid
  E2eDriver "level-$Level" --timeout 60000 <<SCRIPT || E2eFail "the setup of level $Level"
wait-window "Welcome!" 60000
screenshot level-$Level
press 103
answer yes "Orange Tool"
leave "Installation uncomplete" 104
SCRIPT
  E2eWait "$SetupPid" 60
  E2eExpectEqual "$?" 2 "exit code of the setup of level $Level (cancelled)"
done

E2eLog "--- no keys"
WriteScript ""
Build plain
RunProbe plain
E2eExpectLine "$TARN_ARTIFACTS/plain.probe" '^text ProductName "Tarn Installer"$' "the stub's own version texts stay"
cmp -s -n "$(stat -c %s "$TARN_STUB")" "$TARN_STUB" "$Setup" || E2eFail "the setup without the keys does not start with the stub unchanged"
E2eFinish
