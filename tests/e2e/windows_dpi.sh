#!/usr/bin/env bash
# High DPI and Common Controls 6: the demo setup (with DLG_REBOOT added after
# the installation, and a newer file in the way so that the progress page
# stays up behind a question) runs at 96, 120, 144 and 192 DPI, set through
# the prefix's HKCU\Control Panel\Desktop LogPixels, which Wine 8 reads when
# a program starts (the HKLM Hardware Profiles value works too; this one is
# the user's setting). At each resolution every page is saved as
# dpi<N>-<page>.png, and
#   - every control lies inside its page, and every static text, button and
#     group box caption fits its control in the template's font
#     (driver: expect-inside, expect-texts-fit);
#   - the painted titles (page titles, the main window's program name) fit
#     their areas with their shadows, at offsets scaled from 96 DPI (test
#     seam TARN_TEST_UI_LOG of the test stub);
#   - the pages use Common Controls 6: the comctl32 of the manifest's
#     assembly, whose buttons answer BCM_GETIDEALSIZE.
# Here: 96 and 120 DPI, and the not-finished page (a run cancelled at once)
# at 144 and 192 DPI; windows_dpi_high.sh walks 144 and 192 DPI,
# windows_dpi_checks.sh the Russian pages and the proof that these checks
# see clipping and pixel doubling. (Three tests, so that each stays well
# inside the time limit of a test on a busy machine.)
source "$(dirname "$0")/lib.sh"
DpiSetUp

DpiWalkAt 96
# The manifest's Common Controls, on the first page of the first run.
Controls=$(grep -m 1 '^controls ' "$UiLog" | tr -d '\r')
E2eLog "$Controls"
case "$Controls" in
  *"common-controls_6595b64144ccf1df_6."*" buttons v6" | *" version 6."*" buttons v6") ;;
  *) E2eFail "the pages do not run with Common Controls 6: ${Controls:-no report}" ;;
esac
DpiWalkAt 120

for Dpi in 144 192; do
  E2eLog "--- $Dpi DPI, cancelled"
  DpiSetLogPixels "$Dpi"
  DpiPrepareTarget
  E2eExpectExit=2 DpiRunSetup "cancel-$Dpi" en_US.UTF-8 < <(DpiCancelWalk)
  DpiCheckTitles "$Dpi"
done

DpiFinish
