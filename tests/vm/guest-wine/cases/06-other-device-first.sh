# Another HID device (same vendor ID, same report layout, another product ID) on its own
# bus, enumerated first, is passed over and never written.
. /tmp/velt/wine/wine-lib.sh

start_gadget other --other --udc dummy_udc.0 --pid 0x1234 --product "Other HID"
wait_hidraw 1209 1234 || fail "the other device did not show up as a hidraw node"
other=$node
start_gadget velt --udc dummy_udc.1 --pid 0x2442
wait_hidraw 1209 2442 || fail "the Velt-USB did not show up as a hidraw node"
log "other=$other velt=$node"
[ "${other#hidraw}" -lt "${node#hidraw}" ] || fail "the other device is not first ($other, $node)"
run_tool flash --wait=60 "$(windows_path "$IMAGE")"
stop_gadget velt other
expect_status 0
expect_flashed velt
expect_untouched other
expect_gadget other gadget-detail: "bad=0 other=0 late=0"
pass
