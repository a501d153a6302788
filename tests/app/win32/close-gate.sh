#!/bin/sh
# The close box goes through the logic's close gate (the demo posts WM_CLOSE as the close
# box does):
# 1. with no update running the window unloads: exit status 0, no update;
# 2. while the update waits for the device to come back in bootloader mode (10 s here) it
#    cancels the update at once: exit status 2, result=cancelled, long before 10 s (beside
#    an idle run, which measures wine's own start).
#   close-gate.sh WINE_RUN TEMPLATE DEMO.exe
set -eu
WINE_RUN=$1 TEMPLATE=$2 demo=$3
. "$(dirname "$0")/lib.sh"

started=$(date +%s)
run $WINE_RUN "$demo" --close-after-ms 500
idle=$(($(date +%s) - started))
[ "$status" -eq 0 ] || fail "closing the idle window: exit status $status, expected 0"
grep -q ' result=none$' "$work/out" || fail "closing the idle window: $(cat "$work/out")"
echo "idle window closed: exit status 0"

started=$(date +%s)
run $WINE_RUN "$demo" --auto-update --reenumerate-ms 10000 --close-after-ms 1500
took=$(($(date +%s) - started))
grep -q '^simulated device: mode-switches=1 records=0 .* result=cancelled$' "$work/out" ||
    fail "closing while waiting for the bootloader: $(cat "$work/out")"
[ "$status" -eq 2 ] || fail "closing while waiting for the bootloader: exit status $status"
# wine's own start (seconds on a host, tens of them under emulation) is measured by the
# idle run; waiting for the device would add most of 10 s to it.
[ "$took" -lt $((idle + 7)) ] ||
    fail "the update was not cancelled at once: the demo ran ${took} s, the idle one ${idle} s"
echo "closed while waiting for the bootloader: cancelled, exit status 2, ${took} s (idle ${idle} s)"
