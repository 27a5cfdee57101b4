#!/usr/bin/env bash
# High DPI, the rest (see windows_dpi.sh for the checks made on each page):
#   - the demo in Russian (longer texts, code page 1251, LC_ALL ru_RU) at
#     144 and 192 DPI, every page;
#   - the checks themselves: at 192 DPI a title too long for its area and a
#     text too long for its control must be reported, and a checkerboard of
#     single black and white pixels as the title picture, stretched to twice
#     its size, must show greys: averaged, not pixel-doubled.
source "$(dirname "$0")/lib.sh"
DpiSetUp

# Russian, longer texts in code page 1251, at the two largest resolutions.
for Dpi in 144 192; do
  E2eLog "--- $Dpi DPI, Russian"
  DpiSetLogPixels "$Dpi"
  DpiPrepareTarget
  DpiRunSetup "walk-rus-$Dpi" ru_RU.UTF-8 < <(DpiWalk RUS | sed "s/screenshot dpi$Dpi-/screenshot dpi$Dpi-rus-/")
  DpiCheckTitles "$Dpi"
done
"$TARN_WINE" reg delete 'HKCU\Software\Tarn Demo' /f >/dev/null 2>&1
"$TARN_WINE" reg delete 'HKLM\Software\Tarn Demo' /f >/dev/null 2>&1

# The checks see clipping where there is some, and the title picture is
# averaged: a setup at 192 DPI with a title too long for its area, a welcome
# text too long for its control, and a checkerboard as its picture. Doubled
# pixels stay black and white; averaged ones turn grey.
Dpi=192
DpiSetLogPixels "$Dpi"
rm -f "$UiLog"
Checker=$TARN_ARTIFACTS/checker-project
rm -rf "$Checker"
mkdir -p "$Checker/Presetup" "$Checker/Data"
printf '[Config]\r\nPreInstallDialogSequence=DLG_WELCOME\r\n[Display]\r\nDialogTitleFont=Arial,20,$0000FF,B\r\nDialogTitleShadow=0\r\n' \
  >"$Checker/Presetup/Tarn.ini"
{
  printf '[DLG_WELCOME]\r\n100=A title far too long for the title area of its page\r\n105=Too long'
  for Line in $(seq 1 30); do printf '||line %s' "$Line"; done
  printf '\r\n'
} >"$Checker/Presetup/Tarn.dlg"
python3 - "$Checker/Presetup/Tarn.bmp" <<'PY'
import struct, sys
width, height = 450, 65
rows = b''
for y in range(height):
    row = b''.join(b'\xff\xff\xff' if (x + y) % 2 else b'\x00\x00\x00' for x in range(width))
    rows += row + b'\0' * ((4 - len(row) % 4) % 4)
header = struct.pack('<2sIHHI', b'BM', 54 + len(rows), 0, 0, 54)
info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
open(sys.argv[1], 'wb').write(header + info + rows)
PY
"$TARN_TARNPACK" build "$Checker" -o "$TARN_ARTIFACTS/checker.exe" --stub "$TARN_TEST_STUB" >"$TARN_ARTIFACTS/checker.build.log" 2>&1 ||
  { cat "$TARN_ARTIFACTS/checker.build.log"; E2eFail "tarnpack build of the checkerboard"; }
E2eStart checker "$TARN_ARTIFACTS/checker.exe"
CheckerPid=$E2eLastPid
E2eDriver checker --timeout 60000 <<SCRIPT || E2eFail "the checkerboard run"
wait-window "Welcome!" 60000
rect
screenshot dpi192-checker
SCRIPT
E2eDriver checker-clipped <<SCRIPT
wait-window "Welcome!"
expect-texts-fit $TitleFont
SCRIPT
E2eExpectEqual "$?" 1 "the driver's verdict on a text too long for its control"
E2eExpectLine "$TARN_ARTIFACTS/checker-clipped.log" '^FAIL expect-texts-fit .*control 105 "Too long' \
  "the clipped text is named"
E2eDriver checker-end <<SCRIPT || E2eFail "ending the checkerboard run"
wait-window "Welcome!"
press 103
answer yes
leave "Installation uncomplete" 104
SCRIPT
E2eWait "$CheckerPid" 60
DpiTitleFaults "$Dpi" | grep -q '^DLG_WELCOME: text .* leaves its area' ||
  E2eFail "the title too long for its area is not seen: $(DpiTitleFaults "$Dpi")"

Shot=$TARN_ARTIFACTS/dpi192-checker.png
# The dialog's place on the screen, from the driver's log ("rect X,Y WxH").
Rect=$(sed -n -E 's/^ok   rect: rect ([0-9]+),([0-9]+) ([0-9]+)x([0-9]+).*/\1 \2 \3 \4/p' "$TARN_ARTIFACTS/checker.log")
if [ -f "$Shot" ] && [ -n "$Rect" ]; then
  read -r Left Top Width _ <<<"$Rect"
  # A strip of the title area, away from the title text.
  Greys=$(convert "$Shot" -crop "200x40+$((Left + Width - 260))+$((Top + 60))" +repage -depth 8 txt:- 2>/dev/null |
    awk -F'[(),]' 'NR > 1 { r = $3 + 0; g = $4 + 0; b = $5 + 0
      if (r == g && g == b && r > 40 && r < 215) n++ } END { print n + 0 }')
  E2eLog "grey pixels in the stretched checkerboard: $Greys of 8000"
  [ "$Greys" -gt 1000 ] || E2eFail "the title picture is pixel-doubled at 192 DPI ($Greys grey pixels)"
else
  E2eFail "no screenshot or window rectangle of the checkerboard run"
fi
E2eFinish
