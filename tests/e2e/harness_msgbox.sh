#!/usr/bin/env bash
# The driver answers the support library's centred message boxes, shown by
# tarn-msgbox-probe: captions before and after MessageCaption is set, texts,
# centring (also of an owned box, of a box asked from a worker thread, and of
# windows smaller and larger than the screen) and the button the caller gets
# back.
source "$(dirname "$0")/lib.sh"

Probe=$TARN_WIN_BUILD/tests/tarn-msgbox-probe.exe
E2eRequire "$TARN_DRIVER" "$Probe"

E2eStart probe "$Probe"
ProbePid=$E2eLastPid

E2eDriver boxes --timeout 30000 <<'SCRIPT'
# ShowError before any dialog has set the caption
wait-window class:#32770
expect-caption Error
expect-text msgtext "Archive open error!"
expect-centred
screenshot error-box
answer ok Error
# AskQuestion before the caption is set
answer yes Question
# the same after MessageCaption = "Probe Setup"
answer ok "Probe Setup"
answer no "Probe Setup"
# CenterWindow: a window larger than the screen sits at the top-left corner
wait-window "Small window"
expect-centred
close
wait-gone
wait-window "Large window"
expect-centred
close
wait-gone
# centred on the screen, not on its owner in the corner
wait-window "Owned box"
expect-centred
answer cancel "Owned box"
# asked from a worker thread
answer no "Probe Setup"
SCRIPT
[ $? = 0 ] || E2eFail "the driver script failed"

E2eWait "$ProbePid" 30
E2eExpectEqual "$?" 0 "probe exit code"

Log=$TARN_ARTIFACTS/boxes.log
Ok='^ok   answer'
E2eExpectLine "$Log" "$Ok ok Error: box \"Error\" text \"Archive open error!\" .*centred yes" "error box before the caption is set"
E2eExpectLine "$Log" "$Ok yes Question: box \"Question\" text \"Cancel the installation\?\" .*centred yes" "question box before the caption is set"
E2eExpectLine "$Log" "$Ok ok \"Probe Setup\": box \"Probe Setup\" text \"File extracting error!\" .*centred yes" "error box with the caption set"
E2eExpectLine "$Log" "$Ok no \"Probe Setup\": box \"Probe Setup\" text \"Keep the newer file\?\" .*centred yes" "question box with the caption set"
E2eExpectLine "$Log" '^ok   expect-centred: rect 362,284 300x200 screen 1024x768' "small window centred"
# Wine trims a window to a little more than the screen: still larger.
Large=$(sed -n -E 's/^ok   expect-centred: rect 0,0 ([0-9]+)x([0-9]+) screen ([0-9]+)x([0-9]+).*/\1 \2 \3 \4/p' "$Log")
read -r Width Height ScreenWidth ScreenHeight <<<"${Large:-0 0 1 1}"
[ "$Width" -gt "$ScreenWidth" ] && [ "$Height" -gt "$ScreenHeight" ] ||
  E2eFail "large window at the top-left corner: got '${Large:-no such line}'"
E2eExpectLine "$Log" "$Ok cancel \"Owned box\": .*centred yes" "owned box centred on the screen"
E2eExpectLine "$Log" "$Ok no \"Probe Setup\": box \"Probe Setup\" text \"Asked from a worker thread\?\" .*centred yes" "worker's box"

Expected='error-default 0
question-default 6
error-caption 0
question-caption 7
small-window 0
large-window 0
owned 2
worker-question 7
done 0'
E2eExpectEqual "$(cat "$TARN_ARTIFACTS/probe.out")" "$Expected" "answers the probe received"
[ -s "$TARN_ARTIFACTS/error-box.png" ] || E2eFail "no screenshot error-box.png"

E2eFinish
