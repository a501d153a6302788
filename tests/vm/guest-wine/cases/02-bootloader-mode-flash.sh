# A Velt-USB already in bootloader mode is written without a mode switch.
. /tmp/velt/wine/wine-lib.sh

start_gadget velt --pid 0xB038
wait_hidraw 1209 b038 || fail "the Velt-USB did not show up as a hidraw node"
run_tool flash --wait=60 "$(windows_path "$IMAGE")"
stop_gadget velt
expect_status 0
expect_gadget velt gadget: "mode-switches=0 records=200 bytes=8000 sha256=$(image_sha256)"
expect_gadget velt gadget-detail: "bad=0 other=0 late=0"
pass
