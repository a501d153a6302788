# flash --watch: a Velt-USB present at the start and one plugged in after the watch began
# are each flashed once; the second plugged in again with the same serial is not flashed
# again; SIGINT while a third takes its records lets it finish, then ends the watch with
# exit status 0.
. /lib/vm-lib.sh

start_gadget velta --udc dummy_udc.0 --pid 0x2442 --serial WA-0001
wait_hidraw 1209 2442 || fail "the first Velt-USB did not show up as a hidraw node"
loc_a=$(usb_location WA-0001) || fail "no USB device with serial WA-0001 in sysfs"

start=$(uptime_s)
start_tool flash --watch "$IMAGE"
# The second device comes only once the watch hears the kernel's device events.
poll_tool 100 "the watch ended by itself" listens_for_uevents "$TOOL_PID" ||
    fail "the watch opened no kernel uevent socket within 10 s"
log "the watch listens after $(awk "BEGIN { printf \"%.1f\", $(uptime_s) - $start }") s"
start_gadget veltb --udc dummy_udc.1 --pid 0x2442 --serial WB-0002
plugged=$(uptime_s)
loc_b=$(usb_location WB-0002) || fail "no USB device with serial WB-0002 in sysfs"
log "velta at $loc_a (present), veltb at $loc_b (plugged at +$(awk "BEGIN { printf \"%.1f\", $plugged - $start }") s)"

# Both done by their own count, then their lines.
poll_tool 300 "the watch ended before both devices were flashed" holds_image velta veltb ||
    fail "not both flashed within 30 s (held: $(records_held velta), $(records_held veltb))"
log "both devices hold the image at +$(awk "BEGIN { printf \"%.1f\", $(uptime_s) - $start }") s"
i=0
until [ "$(grep -c success /tmp/tool.out)" -ge 2 ] || [ $i -gt 50 ]; do
    i=$((i + 1))
    sleep 0.1
done
stop_gadget veltb
expect_flashed veltb

# The same device again, in application mode as a new one would be: already done.
lines=$(wc -l </tmp/tool.out)
start_gadget veltb --udc dummy_udc.1 --pid 0x2442 --serial WB-0002
i=0
until [ "$(wc -l </tmp/tool.out)" -gt "$lines" ] || [ $i -gt 50 ]; do
    i=$((i + 1))
    sleep 0.1
done
# Time enough for a mode switch to show had the watch begun one.
sleep 1
stop_gadget veltb
grep -q "WB-0002.*already done" /tmp/tool.out || fail "the device back again is not shown as already done"
expect_untouched veltb

# A new device on that port, and SIGINT while its records flow: it still gets them all.
start_gadget veltc --udc dummy_udc.1 --pid 0x2442 --serial WC-0003
loc_c=$(usb_location WC-0003) || fail "no USB device with serial WC-0003 in sysfs"
i=0
until [ "$(records_held veltc)" -gt 0 ]; do
    i=$((i + 1))
    [ $i -gt 300 ] && fail "the third device took no record within 15 s"
    sleep 0.05
done
kill -INT "$TOOL_PID"
held=$(records_held veltc)
log "SIGINT with $held of 8000 bytes taken by the third device"
[ "$held" -lt 8000 ] || fail "the transfer was over before the signal"
i=0
while tool_running; do
    i=$((i + 1))
    [ $i -gt 150 ] && fail "the watch did not end within 15 s of SIGINT"
    sleep 0.1
done
finish_tool
usb_events
stop_gadget veltc
expect_flashed veltc
expect_fields "$loc_c" WC-0003 success
stop_gadget velta
expect_status 0
expect_flashed velta
expect_fields "$loc_a" WA-0001 success
expect_fields "$loc_b" WB-0002 success
pass
