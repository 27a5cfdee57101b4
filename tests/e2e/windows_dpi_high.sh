#!/usr/bin/env bash
# High DPI: the demo's pages at 144 and 192 DPI, with the checks of
# windows_dpi.sh (controls inside their page, texts inside their controls,
# titles inside their areas at scaled offsets) and a screenshot of each
# (dpi<N>-<page>.png).
source "$(dirname "$0")/lib.sh"
DpiSetUp

DpiWalkAt 144
DpiWalkAt 192
DpiFinish
