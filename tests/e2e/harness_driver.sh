#!/usr/bin/env bash
# The driver must fail when it should: a driver that ended with 0 after a
# wrong text, a missing window or a broken script would make every
# end-to-end test pass unseen. Exit codes: 0 all steps passed, 1 a step
# failed, 2 the script itself is wrong.
source "$(dirname "$0")/lib.sh"

Probe=$TARN_WIN_BUILD/tests/tarn-msgbox-probe.exe
E2eRequire "$TARN_DRIVER" "$Probe"

# E2eDriverCase NAME EXPECTED-EXIT-CODE < SCRIPT
E2eDriverCase() {
  local Name=$1 Expected=$2 Result
  E2eDriver "$Name" --timeout 1000 >/dev/null
  Result=$?
  E2eExpectEqual "$Result" "$Expected" "exit code of the driver script $Name"
}

# Broken scripts, before any window is there.
E2eDriverCase unknown-command 2 <<<'frobnicate 1'
E2eDriverCase unterminated-quote 2 <<<'wait-window "Error'
E2eDriverCase bad-id 2 <<<'read-text OK-button'
E2eDriverCase missing-argument 2 <<<'expect-text 1'
E2eDriverCase leave-without-button 2 <<<'leave "Error"'
E2eDriverCase no-current-window 1 <<<'expect-caption Error'
# A window that never comes: waited for twice, then a failure.
E2eDriverCase missing-window 1 <<<'wait-window "No such window"'
E2eExpectLine "$TARN_ARTIFACTS/missing-window.log" '^info no window "No such window" after 1000 ms; waiting once more' "one retry of the wait"
E2eExpectLine "$TARN_ARTIFACTS/missing-window.log" '^FAIL wait-window "No such window": no such window' "the failed wait is logged"
# Comments and blank lines are no steps; a screenshot without --sync is a marker.
"$TARN_WINE" "$TARN_DRIVER" -c '# a comment' -c '' -c 'screenshot marker' >"$TARN_ARTIFACTS/marker.log" 2>&1
E2eExpectEqual "$?" 0 "exit code of a script of a comment and a marker"
E2eExpectLine "$TARN_ARTIFACTS/marker.log" '^@@screenshot marker$' "the screenshot marker"

# Wrong expectations on a real message box fail, and leave the box open.
E2eStart probe "$Probe"
ProbePid=$E2eLastPid
E2eDriverCase wrong-caption 1 <<'SCRIPT'
wait-window class:#32770
expect-caption "Question"
SCRIPT
E2eDriverCase wrong-text 1 <<'SCRIPT'
wait-window Error
expect-text msgtext "Archive open error"
SCRIPT
E2eExpectLine "$TARN_ARTIFACTS/wrong-text.log" '^FAIL expect-text msgtext "Archive open error": text is "Archive open error!"' "the text that was there is logged"
E2eDriverCase missing-control 1 <<'SCRIPT'
wait-window Error
press 4711
SCRIPT
E2eDriverCase missing-button 1 <<'SCRIPT'
answer yes Error
SCRIPT
E2eDriverCase not-a-list 1 <<'SCRIPT'
wait-window Error
select-list ok 0
SCRIPT
E2eDriverCase right-text 0 <<'SCRIPT'
wait-window Error
expect-text-contains msgtext "open error"
read-text msgtext
answer ok Error
SCRIPT
E2eExpectLine "$TARN_ARTIFACTS/right-text.log" '^ok   read-text msgtext: "Archive open error!"' "read-text logs the text"

# The probe goes on with its other boxes: end it.
kill "$ProbePid" 2>/dev/null
E2eWait "$ProbePid" 10
E2eFinish
