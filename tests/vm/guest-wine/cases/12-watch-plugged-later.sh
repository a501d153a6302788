# flash --watch under wine with no device at first: a Velt-USB plugged in once the watch
# runs is flashed once; back in bootloader mode after its switch, and plugged in again
# later with the same serial, it is left alone ("already done"); Ctrl-C (SIGINT, which
# wine hands the program as a console Ctrl-C) ends the watch with status 0.
. /tmp/velt/wine/wine-lib.sh

start=$(uptime_s)
since_start() { awk "BEGIN { printf \"%.1f\", $(uptime_s) - $start }"; }
start_tool flash --watch "$(windows_path "$IMAGE")"
poll_tool 600 "the watch ended by itself" grep -q 'Watching for Velt-USBs' /tmp/tool.out ||
    fail "the watch did not say it was watching within 60 s"
log "watching after $(since_start) s"
start_gadget velt --udc dummy_udc.0 --pid 0x2442 --serial WW-0012
log "plugged in at $(since_start) s"
poll_tool 600 "the watch ended before the device was flashed" holds_image velt ||
    fail "not flashed within 60 s of the plug (held: $(records_held velt))"
log "the device holds the image at $(since_start) s"
# Time for a second update to begin, had the watch taken the device in bootloader mode
# for a new one.
sleep 8
stop_gadget velt
expect_flashed velt

# The same device plugged in again, in application mode: already done.
lines=$(wc -l </tmp/tool.out)
start_gadget velt --udc dummy_udc.0 --pid 0x2442 --serial WW-0012
i=0
until grep -q 'WW-0012.*already done' /tmp/tool.out || [ $i -gt 300 ]; do
    i=$((i + 1))
    sleep 0.1
done
# Time enough for a mode switch to show had the watch begun one.
sleep 3
stop_gadget velt
grep -q 'WW-0012.*already done' /tmp/tool.out || fail "the device back again is not shown as already done"
expect_untouched velt

kill -INT "$TOOL_PID"
i=0
while tool_running; do
    i=$((i + 1))
    [ $i -gt 300 ] && fail "the watch did not end within 30 s of SIGINT"
    sleep 0.1
done
log "the watch ended $(since_start) s after its start"
finish_tool
unix_lines /tmp/tool.out
expect_status 0
expect_fields WW-0012 success
pass
