#!/usr/bin/env bash
# The main job: installs what is missing, builds everything, then runs the
# setup stub under Wine in a private prefix (on an Xvfb display when there is
# no $DISPLAY). When scripts/demo-walkthrough.sh exists it does the run (it
# packs the demo project and walks through its setup) inside that session:
# WINEPREFIX, DISPLAY and TARN_WINE_SESSION are exported, so it can source
# tests/e2e/lib.sh. Otherwise the stub is started as it is, and every window
# it shows is reported, pictured and closed.
# Output and screenshots: build/main-job/.
# Usage: scripts/main-job.sh      (run as root from anywhere in the repo)
set -u
cd "$(dirname "$0")/.."
export TARN_ARTIFACTS=$PWD/build/main-job
rm -rf "$TARN_ARTIFACTS"

bash scripts/deps.sh || exit 1
bash scripts/build.sh || exit 1

export TARN_XVFB=when-needed
source tests/e2e/lib.sh

if [ -f scripts/demo-walkthrough.sh ]; then
  E2eLog "running scripts/demo-walkthrough.sh"
  bash scripts/demo-walkthrough.sh
  Result=$?
  E2eLog "demo walk-through ended with $Result; output in $TARN_ARTIFACTS"
  exit "$Result"
fi

E2eRequire "$TARN_STUB" "$TARN_DRIVER"
E2eStart stub "$TARN_STUB"
StubPid=$E2eLastPid
# The stub may show several windows one after the other (an error box, then
# the end of the run): report each, take its picture, close it.
Shown=0
# The first window of a new prefix can take long; later ones come quickly,
# and once the stub has ended no more come at all.
Timeout=60000
for Window in 1 2 3 4 5; do
  kill -0 "$StubPid" 2>/dev/null || break
  E2eDriver "window-$Window" --timeout "$Timeout" <<SCRIPT || break
wait-window *
dump
screenshot window-$Window
close
wait-gone 10000
SCRIPT
  Shown=$Window
  Timeout=10000
done
E2eWait "$StubPid" 20
Result=$?
E2eLog "the stub showed $Shown window(s) and ended with exit code $Result"
E2eLog "what it showed: $TARN_ARTIFACTS/window-*.log, pictures window-*.png"
[ "$Shown" -gt 0 ] && [ "$Result" = 0 ]
