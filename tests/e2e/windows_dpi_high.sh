#!/usr/bin/env bash
# High DPI: the demo's pages at 144 and 192 DPI, with the checks of
# windows_dpi.sh (controls inside their page, texts inside their controls,
# titles inside their areas at scaled offsets) and a screenshot of each
# (dpi<N>-<page>.png).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/windows_dpi.inc"

for Dpi in 144 192; do
  E2eLog "--- $Dpi DPI"
  SetLogPixels "$Dpi"
  PrepareTarget
  RunSetup "walk-$Dpi" en_US.UTF-8 < <(Walk ENU)
  [ -f "$Target/Doc/Guide.txt" ] || E2eFail "$Dpi DPI: the demo did not install"
  CheckTitles "$Dpi"
done

"$TARN_WINE" reg delete 'HKCU\Software\Tarn Demo' /f >/dev/null 2>&1
"$TARN_WINE" reg delete 'HKLM\Software\Tarn Demo' /f >/dev/null 2>&1
E2eFinish
