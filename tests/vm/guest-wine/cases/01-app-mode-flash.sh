# An application-mode Velt-USB through wine's HID stack: SetupAPI finds it, the mode
# switch reaches it, the re-enumerated 0xB038 turns up in a fresh enumeration, and the
# device holds the image's 200 records, nothing malformed.
. /tmp/velt/wine/wine-lib.sh

start_gadget velt --pid 0x2442 --serial VW-0042 --bcd 0x0110
wait_hidraw 1209 2442 || fail "the Velt-USB did not show up as a hidraw node"
# What wine makes of the device; the manufacturer string is not its own under wine 8.
run_tool list
i=0
while ! grep -q 'vendor:product: 1209:2442' /tmp/tool.out && [ $i -lt 5 ]; do
    sleep 2
    i=$((i + 1))
    run_tool list
done
expect_status 0
expect_output "vendor:product: 1209:2442"
expect_output "version:        1.10"
expect_output "serial:         VW-0042"
expect_output "feature report: 41 bytes"

run_tool flash --wait=60 "$(windows_path "$IMAGE")"
stop_gadget velt
expect_status 0
expect_flashed velt
pass
