# An application-mode Velt-USB takes the whole image: one mode switch, a real
# re-enumeration as 0xB038, 200 records, and the device holds what the file holds.
. /lib/vm-lib.sh

start_gadget velt --pid 0x2442
wait_hidraw 1209 2442 || fail "the Velt-USB did not show up as a hidraw node"
run_tool flash "$IMAGE"
stop_gadget velt
expect_status 0
expect_flashed velt

# The same road through the window's own handlers: the captions in order, the labels
# blank while the device is away and filled again from the re-enumerated device.
start_gadget velt --pid 0x2442 --manufacturer "Velt Instruments"
wait_hidraw 1209 2442 || fail "the Velt-USB did not show up as a hidraw node again"
run_window --click
stop_gadget velt
[ "$WINDOW_STATUS" -eq 0 ] || fail "the window ended with status $WINDOW_STATUS"
expect_window "outcome success"
window_order "caption lblManuf ' Velt Instruments'" \
    "caption btnUpgradeFW 'Switching to bootloader...'" \
    "caption lblManuf ''" \
    "caption lblManuf ' Velt Instruments'" \
    "caption btnUpgradeFW 'Updating firmware...'" \
    "caption btnUpgradeFW 'Finishing...'" \
    "unload 0"
expect_flashed velt
pass
