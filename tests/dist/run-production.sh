#!/bin/sh
# The unpacked production program, started from another folder on an X server (Xvfb),
# armed at once on two simulated Velt-USBs: both tiles read PASS, the record holds one
# success per device with the station's name, and it exits with status 0.
#   run-production.sh PROGRAM
set -eu
. "$(dirname "$0")/lib.sh"
program=$1

if [ -z "${VELT_UNDER_XVFB:-}" ]; then
    need_tools xvfb-run
    VELT_UNDER_XVFB=1 exec xvfb-run -a "$0" "$@"
fi
export QT_QPA_PLATFORM=xcb

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c 4000 /dev/urandom >image.bin

status=0
timeout 60 "$program" --simulate --devices 2 --record record.jsonl --station "line 3" --arm \
    image.bin --screenshot shot.png >out.txt 2>err.txt || status=$?
cat out.txt
[ "$status" -eq 0 ] || fail "exit status $status: $(cat err.txt)"
[ "$(grep -c '^tile 1-[12]: PASS$' out.txt)" -eq 2 ] || fail "not two PASS tiles"
[ "$(grep -c '"result":"success"' record.jsonl)" -eq 2 ] || fail "not two successes recorded"
[ "$(grep -c '"station":"line 3"' record.jsonl)" -eq 2 ] ||
    fail "the record does not name the station: $(cat record.jsonl)"
[ -s shot.png ] || fail "no screenshot"
echo "the unpacked program flashed two simulated devices and recorded them"
