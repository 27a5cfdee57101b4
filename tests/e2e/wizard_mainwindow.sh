#!/usr/bin/env bash
# ShowMainWindow=1: a screenshot shows the maximised backdrop with its
# gradient, the program name and its shadow, and the wizard page's title
# drawn in its colour over the title picture.
source "$(dirname "$0")/lib.sh"

WizardProject mainwindow
# Colours are $BBGGRR. Each colour of the picture differs from everything
# else on the screen, so the checks below can count its pixels.
WizardWrite Tarn.ini <<'INI'
[Config]
PreInstallDialogSequence=DLG_WELCOME
[Display]
ShowMainWindow=1
GradientTopColor=$000080
GradientBottomColor=$800000
MainTitleFont=Arial,40,$00FFFF,B
MainTitleShadow=1
MainTitleShadowColor=$00FF00
DialogTitleFont=Arial,20,$FFFF00,B
DialogTitleShadow=0
[Variables]
ProgramName=Window Test
INI
# A 64 x 16 picture, all magenta, as a 24-bit Windows bitmap.
python3 - "$WizardDir/Presetup/Tarn.bmp" <<'PY'
import struct, sys
width, height = 64, 16
row = bytes([0xFF, 0x00, 0xFF]) * width          # blue, green, red
pixels = row * height
header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], 'wb').write(header + info + pixels)
PY
WizardBuild mainwindow

WizardRun mainwindow
E2eDriver mainwindow <<'SCRIPT'
wait-window "Welcome!"
list-windows
screenshot backdrop
press 103
answer yes "Window Test"
wait-gone
leave "Installation uncomplete" 104
SCRIPT
[ $? = 0 ] || E2eFail "the run with a shown main window"
E2eExpectExit=2 WizardEnd "the main window run"
E2eExpectLine "$TARN_ARTIFACTS/mainwindow.log" 'window "Window Test" class TarnMainWindow rect 0,0 1024x768' \
  "the main window covers the screen, titled with the program name"

Shot=$TARN_ARTIFACTS/backdrop.png
# Pixels of one colour in a part of the screenshot: CountColour W H X Y HEX
CountColour() {
  convert "$Shot" -crop "$1x$2+$3+$4" +repage -format %c histogram:info:- 2>/dev/null |
    awk -v Want="#$5" 'toupper($0) ~ toupper(Want) { gsub(":", "", $1); Sum += $1 } END { print Sum + 0 }'
}
PixelHex() {
  convert "$Shot" -crop "1x1+$1+$2" +repage -depth 8 txt:- 2>/dev/null | sed -n -E 's/.*(#[0-9A-Fa-f]{6}).*/\1/p' | head -n 1
}
if [ -f "$Shot" ]; then
  # Gradient: dark red at the top edge, dark blue at the bottom edge.
  E2eExpectEqual "$(PixelHex 2 2)" "#800000" "the gradient's top colour"
  Bottom=$(PixelHex 2 766)
  case "$Bottom" in "#0"[0-9]"00"[7-8]*) ;; *) E2eFail "the gradient's bottom colour: $Bottom" ;; esac
  # The program name in yellow with its green shadow, in the top left corner.
  [ "$(CountColour 500 100 0 0 FFFF00)" -gt 100 ] || E2eFail "no yellow program name in the corner"
  [ "$(CountColour 500 100 0 0 00FF00)" -gt 50 ] || E2eFail "no green shadow under the program name"
  # The title picture stretched over the page's title area, the title in cyan on it.
  [ "$(CountColour 1024 768 0 0 FF00FF)" -gt 5000 ] || E2eFail "no title picture on the page"
  [ "$(CountColour 1024 768 0 0 00FFFF)" -gt 50 ] || E2eFail "no cyan dialog title over the picture"
else
  E2eFail "no screenshot"
fi

# A title colour that is not a number keeps the key's default colour (blue,
# $FF0000, for the main title); a negative shadow colour is a system colour
# ($80000008: the window-text colour, black here).
WizardProject fallback
WizardWrite Tarn.ini <<'INI'
[Config]
PreInstallDialogSequence=DLG_WELCOME
[Display]
ShowMainWindow=1
GradientTopColor=$000080
GradientBottomColor=$000080
MainTitleFont=Arial,40,yellow,B
MainTitleShadow=1
MainTitleShadowColor=$80000008
[Variables]
ProgramName=Fallback Test
INI
WizardBuild fallback
WizardRun fallback
E2eDriver fallback <<'SCRIPT'
wait-window "Welcome!"
screenshot fallback
press 103
answer yes "Fallback Test"
wait-gone
leave "Installation uncomplete" 104
SCRIPT
[ $? = 0 ] || E2eFail "the run with a colour that is not a number"
E2eExpectExit=2 WizardEnd "the fallback run"
Shot=$TARN_ARTIFACTS/fallback.png
if [ -f "$Shot" ]; then
  [ "$(CountColour 500 100 0 0 0000FF)" -gt 100 ] || E2eFail "the main title is not in its default blue"
  [ "$(CountColour 500 100 0 0 000000)" -gt 50 ] || E2eFail "no shadow in the window-text colour"
else
  E2eFail "no screenshot of the fallback run"
fi
E2eFinish
