#!/bin/sh
# The production program on simulated Velt-USBs, on an X server (Xvfb), unattended:
# 1. three devices plugged in at the start and a fourth 3 s later are all flashed with the
#    image: four PASS tiles, four record lines, the screenshot saved, exit status 0;
# 2. a device that refuses a record fails: its tile reads FAIL with the reason.
#   run-production.sh PROGRAM IMAGE WORK
set -eu
. "$(dirname "$0")/../../dist/lib.sh"
program=$1
image=$2
work=$3

if [ -z "${VELT_UNDER_XVFB:-}" ]; then
    need_tools xvfb-run
    VELT_UNDER_XVFB=1 exec xvfb-run -a "$0" "$@"
fi
export QT_QPA_PLATFORM=xcb

rm -rf "$work"
mkdir -p "$work"
digest=$(cut -d' ' -f1 "$image.sha256")
size=$(stat -c %s "$image")

# count PATTERN FILE: how many lines of FILE match.
count() {
    grep -c -- "$1" "$2" || true
}

status=0
timeout 60 "$program" --simulate --devices 3 --plug-ms 3000 --record "$work/record" --arm \
    "$image" --screenshot "$work/four.png" >"$work/four.out" 2>"$work/four.err" || status=$?
cat "$work/four.out"
[ "$status" -eq 0 ] || fail "exit status $status with four good devices: $(cat "$work/four.err")"
flashed=$(count "^simulated device 1-[1-4]: .* bytes=$size sha256=$digest\$" "$work/four.out")
[ "$flashed" -eq 4 ] || fail "$flashed devices hold the image, expected 4"
[ "$(count '^tile 1-[1-4]: PASS$' "$work/four.out")" -eq 4 ] || fail "not four PASS tiles"
grep -qx 'production: passed=4 failed=0 already-done=0' "$work/four.out" ||
    fail "the counters are not four passed"
[ "$(wc -l <"$work/record")" -eq 4 ] || fail "the record has not four lines"
serials=$(grep '"result":"success"' "$work/record" | grep -o '"serial":"[^"]*"' | sort -u | wc -l)
[ "$serials" -eq 4 ] || fail "the record has $serials devices flashed, expected 4"
[ "$(head -c 4 "$work/four.png" | od -An -c | tr -d ' ')" = '211PNG' ] ||
    fail "no PNG screenshot"

status=0
timeout 60 "$program" --simulate --devices 1 --refuse-record 3 --arm "$image" \
    --screenshot "$work/refused.png" >"$work/refused.out" 2>"$work/refused.err" || status=$?
cat "$work/refused.out"
grep -q '^tile 1-1: FAIL: .' "$work/refused.out" || fail "no FAIL tile with its reason"
grep -qx 'production: passed=0 failed=1 already-done=0' "$work/refused.out" ||
    fail "the counters are not one failed"
[ -s "$work/refused.png" ] || fail "no screenshot of the failure"
echo "exit status $status after the failure"
