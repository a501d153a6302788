# Two Velt-USBs at once, one on each bus, flashed together with flash --all through wine's
# HID stack: wine tells no USB location, so each update follows its device through the
# mode switch by its serial number. Each gadget, by its own count, takes one mode switch
# and exactly the image, nothing malformed, late or meant for the other; the transfers
# overlap.
#
# The second takes 3 s longer to restart. Wine 8's bus loses devices when two leave at
# the same moment: it takes a departed device out of its list twice (when udev says it
# left, and again when the device is removed), and the second time drops whatever was
# added after it in between, here the bootloaders coming back. Neither then reappears
# until it is unplugged. Devices that leave a few seconds apart never meet that.
. /tmp/velt/wine/wine-lib.sh

start_gadget velta --udc dummy_udc.0 --pid 0x2442 --serial VA-0001
start_gadget veltb --udc dummy_udc.1 --pid 0x2442 --serial VB-0002 --leave-after-ms 3000
wait_hidraw_count 1209 2442 2 || fail "the two Velt-USBs did not both show up as hidraw nodes"
wine_lists "serial:         VA-0001" "serial:         VB-0002"

start_tool flash --all "$(windows_path "$IMAGE")"
follow_two_transfers velta veltb
finish_tool
log "timeline from the start: $TIMELINE"
unix_lines /tmp/tool.out
usb_events
stop_gadget velta veltb
expect_status 0
expect_flashed velta veltb
[ "$OVERLAP" = yes ] || fail "the two transfers never overlapped: one device was flashed after the other"
expect_fields VA-0001 success 200/200
expect_fields VB-0002 success 200/200
pass
