# Two Velt-USBs, one on each bus, flashed together with --all: both switch, both come
# back in bootloader mode at their own port, and each takes exactly the image, by its own
# count: nothing late, malformed or meant for the other.
. /lib/vm-lib.sh

start_gadget velta --udc dummy_udc.0 --pid 0x2442 --serial VA-0001
start_gadget veltb --udc dummy_udc.1 --pid 0x2442 --serial VB-0002
wait_hidraw_count 1209 2442 2 || fail "the two Velt-USBs did not both show up as hidraw nodes"
loc_a=$(usb_location VA-0001) || fail "no USB device with serial VA-0001 in sysfs"
loc_b=$(usb_location VB-0002) || fail "no USB device with serial VB-0002 in sysfs"
log "velta at $loc_a, veltb at $loc_b"

run_tool list
expect_status 0
for loc in "$loc_a" "$loc_b"; do
    grep -Eq "^  location: +$loc\$" /tmp/tool.out || fail "list does not show location $loc"
done

# While it runs, the records files are sampled: if both devices are ever part-way through
# at the same moment, the transfers overlapped; one after the other they never would.
start_tool flash --all "$IMAGE"
follow_two_transfers velta veltb
finish_tool
log "timeline from the start: $TIMELINE"
usb_events
stop_gadget velta veltb
expect_status 0
expect_flashed velta veltb
[ "$OVERLAP" = yes ] || fail "the two transfers never overlapped: one device was flashed after the other"
grep -q '^Location' /tmp/tool.out || fail "no table (a line starting with Location)"
expect_row "$loc_a" VA-0001 success 200/200
expect_row "$loc_b" VB-0002 success 200/200
pass
