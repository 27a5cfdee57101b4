#!/usr/bin/env bash
# High DPI and Common Controls 6. The demo setup (with DLG_REBOOT added after
# the installation, and a newer file in the way so that the progress page
# stays up behind a question) runs at 96, 120, 144 and 192 DPI: the prefix's
# HKCU\Control Panel\Desktop LogPixels, which Wine 8 reads when a program
# starts. At each resolution every page is saved as dpi<N>-<page>.png, and
#   - every control lies inside its page, and every static text, button and
#     group box caption fits its control in the template's font
#     (driver: expect-inside, expect-texts-fit);
#   - the painted titles (page titles, the main window's program name) fit
#     their areas with their shadows, at offsets scaled from 96 DPI (test
#     seam TARN_TEST_UI_LOG of the test stub);
#   - the pages use Common Controls 6: the comctl32 of the manifest's
#     assembly, whose buttons answer BCM_GETIDEALSIZE.
# Russian pages (longer texts, code page 1251) are checked at 144 and 192 DPI.
# Finally a black-and-white checkerboard as the title picture, stretched at
# 192 DPI, must show greys: averaged, not pixel-doubled.
source "$(dirname "$0")/lib.sh"

E2eRequire "$TARN_TARNPACK" "$TARN_TEST_STUB" "$TARN_DRIVER"
DesktopKey='HKCU\Control Panel\Desktop'
TitleFont='"MS Sans Serif" 8'
UiLog=$TARN_ARTIFACTS/ui.log
export TARN_TEST_UI_LOG
TARN_TEST_UI_LOG=$(E2eWinPath "$UiLog")

# The resolution is a setting of the shared prefix: put back what was there.
OldLogPixels=$("$TARN_WINE" reg query "$DesktopKey" /v LogPixels 2>/dev/null | tr -d '\r' |
  sed -n -E 's/.*REG_DWORD[[:space:]]+0x([0-9a-fA-F]+).*/\1/p')
SetLogPixels() {
  "$TARN_WINE" reg add "$DesktopKey" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 ||
    E2eFail "setting LogPixels to $1"
}
RestoreLogPixels() {
  if [ -n "$OldLogPixels" ]; then
    SetLogPixels "$((16#$OldLogPixels))"
  else
    "$TARN_WINE" reg delete "$DesktopKey" /v LogPixels /f >/dev/null 2>&1
  fi
}
trap 'RestoreLogPixels; E2eCleanup' EXIT

Project=$TARN_ARTIFACTS/project
Target="$TARN_ARTIFACTS/target/Tarn Demo"
rm -rf "$Project" "$TARN_ARTIFACTS/target"
cp -r "$TARN_ROOT/examples/demo" "$Project"
sed -i 's/^PostInstallDialogSequence=.*/PostInstallDialogSequence=DLG_README,DLG_REBOOT/' "$Project/Presetup/Tarn.ini"
Setup=$TARN_ARTIFACTS/setup.exe
"$TARN_TARNPACK" build "$Project" -o "$Setup" --stub "$TARN_TEST_STUB" >"$TARN_ARTIFACTS/build.log" 2>&1 ||
  { cat "$TARN_ARTIFACTS/build.log"; E2eFail "tarnpack build"; E2eFinish; }
WinTarget=$(E2eWinPath "$Target" | sed 's/\\/\\\\/g')

# CheckPage NAME: the layout checks and a screenshot of the current page.
CheckPage() {
  printf 'expect-inside\nexpect-texts-fit %s\nscreenshot dpi%s-%s\n' "$TitleFont" "$Dpi" "$1"
}

# Caption LANGUAGE TEMPLATE: a page's caption, as the setup shows it (the
# English templates', or the demo's Russian ones from Tarn.dlg).
declare -A EnglishCaptions=(
  [DLG_LANGUAGE]="Choose language" [DLG_WELCOME]="Welcome!" [DLG_LICENSE]="License agreement"
  [DLG_README]="Readme information" [DLG_DIR]="Installation directory" [DLG_START]="Start install"
  [DLG_PROGRESS]="Installation progress" [DLG_REBOOT]="Reboot computer" [DLG_FINISH]="Installation complete"
  [DLG_NOTFINISH]="Installation uncomplete")
Caption() {
  if [ "$1" = ENU ]; then
    printf '%s' "${EnglishCaptions[$2]}"
  else
    iconv -f CP1251 -t UTF-8 "$Project/Presetup/Tarn.dlg" |
      awk -v Section="[$2.$1]" '{ sub(/\r$/, "") } /^\[/ { In = $0 == Section } In && /^Caption=/ { print substr($0, 9); exit }'
  fi
}

# Page LANGUAGE TEMPLATE NAME: wait for the page, check it, save it.
Page() {
  printf 'wait-window "%s" 60000\n' "$(Caption "$1" "$2")"
  CheckPage "$3"
}

# Walk LANGUAGE: every page from the language to the finish. The language
# page offers the user's language first.
Walk() {
  local L=$1
  cat <<SCRIPT
$(Page "$L" DLG_LANGUAGE language)
press 102
wait-gone
$(Page "$L" DLG_WELCOME welcome)
press 102
wait-gone
$(Page "$L" DLG_LICENSE license)
press 105
wait-gone
$(Page "$L" DLG_README readme)
press 102
wait-gone
$(Page "$L" DLG_DIR directory)
type 106 "$WinTarget"
press 102
wait-gone
$(Page "$L" DLG_START start)
press 102
wait-gone
$(Page "$L" DLG_PROGRESS progress)
answer yes
wait-gone 60000
$(Page "$L" DLG_README readme-after)
press 102
wait-gone
$(Page "$L" DLG_REBOOT reboot)
press 102
wait-gone
$(Page "$L" DLG_FINISH finish)
press 104
wait-gone
SCRIPT
}

# Cancelled at once: the not-finished page.
CancelWalk() {
  cat <<SCRIPT
wait-window "$(Caption ENU DLG_LANGUAGE)" 60000
press 103
answer yes
wait-gone
$(Page ENU DLG_NOTFINISH notfinish)
press 104
wait-gone
SCRIPT
}

# RunSetup NAME LOCALE < SCRIPT: one run of the setup under the driver.
RunSetup() {
  local Name=$1 Locale=$2
  LC_ALL=$Locale E2eStart "$Name" "$Setup" # Wine takes the user's language from LC_ALL
  local Pid=$E2eLastPid
  E2eDriver "$Name" --timeout 60000 || E2eFail "the pages at $Dpi DPI ($Name)"
  E2eWait "$Pid" 60
  E2eExpectEqual "$?" 0 "exit code of $Name"
}

# TitleFaults DPI: the titles painted at this resolution that leave their
# area (with their shadow) or do not sit at the offsets of 96 DPI scaled,
# one line each.
TitleFaults() {
  local Dpi=$1
  tr -d '\r' <"$UiLog" | grep "^title .* dpi $Dpi\$" | awk -v Dpi="$Dpi" '
    function scaled(p) { return int((p * Dpi + 48) / 96) }  # MulDiv rounds
    {
      split($4, Area, "x"); split($6, At, ","); split($7, Text, "x")
      page = $2
      main = page == "main-window"
      x = scaled(main ? 20 : 10); y = scaled(main ? 20 : 5); shadow = scaled(main ? 3 : 2)
      if (At[1] != x || At[2] != y) print page ": text at " At[1] "," At[2] ", expected " x "," y
      if (At[1] + Text[1] + shadow > Area[1] || At[2] + Text[2] + shadow > Area[2])
        print page ": text " At[1] "," At[2] " " Text[1] "x" Text[2] " (+" shadow " shadow) leaves its area " Area[1] "x" Area[2]
    }' | sort -u
}

# CheckTitles DPI: no title fault, and titles were painted at all.
CheckTitles() {
  local Dpi=$1 Fault
  tr -d '\r' <"$UiLog" | grep -q "^title .* dpi $Dpi\$" || { E2eFail "no title painted at $Dpi DPI"; return; }
  while IFS= read -r Fault; do
    [ -n "$Fault" ] && E2eFail "$Dpi DPI: $Fault"
  done < <(TitleFaults "$Dpi")
}

for Dpi in 96 120 144 192; do
  E2eLog "--- $Dpi DPI"
  SetLogPixels "$Dpi"
  rm -rf "$TARN_ARTIFACTS/target" "$UiLog"
  # A newer file in the way: its question keeps the progress page up.
  mkdir -p "$Target"
  printf 'newer\r\n' >"$Target/Demo.txt"
  touch -d '+2 days' "$Target/Demo.txt"
  RunSetup "walk-$Dpi" en_US.UTF-8 < <(Walk ENU)
  RunSetup "cancel-$Dpi" en_US.UTF-8 < <(CancelWalk)
  [ -f "$Target/Doc/Guide.txt" ] || E2eFail "$Dpi DPI: the demo did not install"
  CheckTitles "$Dpi"
  if [ "$Dpi" = 96 ]; then
    # The manifest's Common Controls, on the first page of the first run.
    Controls=$(grep -m 1 '^controls ' "$UiLog" | tr -d '\r')
    E2eLog "$Controls"
    case "$Controls" in
      *"common-controls_6595b64144ccf1df_6."*" buttons v6" | *" version 6."*" buttons v6") ;;
      *) E2eFail "the pages do not run with Common Controls 6: ${Controls:-no report}" ;;
    esac
  fi
done

# Russian, longer texts in code page 1251, at the two largest resolutions.
for Dpi in 144 192; do
  E2eLog "--- $Dpi DPI, Russian"
  SetLogPixels "$Dpi"
  rm -rf "$TARN_ARTIFACTS/target" "$UiLog"
  mkdir -p "$Target"
  printf 'newer\r\n' >"$Target/Demo.txt"
  touch -d '+2 days' "$Target/Demo.txt"
  RunSetup "walk-rus-$Dpi" ru_RU.UTF-8 < <(Walk RUS | sed "s/screenshot dpi$Dpi-/screenshot dpi$Dpi-rus-/")
  CheckTitles "$Dpi"
done
"$TARN_WINE" reg delete 'HKCU\Software\Tarn Demo' /f >/dev/null 2>&1
"$TARN_WINE" reg delete 'HKLM\Software\Tarn Demo' /f >/dev/null 2>&1

# The checks must see clipping where there is some, and the title picture
# must be averaged: a setup at 192 DPI with a title too long for its area, a
# welcome text too long for its control, and as its picture a checkerboard
# of single black and white pixels, stretched to twice its size. Doubled
# pixels stay black and white; averaged ones turn grey.
Dpi=192
SetLogPixels "$Dpi"
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
wait-window "Installation uncomplete"
press 104
wait-gone
SCRIPT
E2eWait "$CheckerPid" 60
TitleFaults "$Dpi" | grep -q '^DLG_WELCOME: text .* leaves its area' ||
  E2eFail "the title too long for its area is not seen: $(TitleFaults "$Dpi")"

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
