# The device leaves the bus after record 5 and comes back 1.5 s later in bootloader
# mode: the flasher fails with status 1, says the device left the bus, and writes
# nothing to the device that came back, though wine announces that one meanwhile.
. /tmp/velt/wine/wine-lib.sh

start_gadget velt --pid 0x2442 --vanish-after 5 --return-after-ms 1500
wait_hidraw 1209 2442 || fail "the Velt-USB did not show up as a hidraw node"
FLASH_OPTIONS="--yes --verbose" run_tool flash --wait=60 "$(windows_path "$IMAGE")"
# Give a flasher that would go on writing the chance to do so before the verdict.
sleep 3
stop_gadget velt
expect_status 1
expect_output "left the bus"
head_sha=$(head -c 200 "$IMAGE" | sha256sum | cut -d' ' -f1)
expect_gadget velt gadget: "mode-switches=1 records=5 bytes=200 sha256=$head_sha"
expect_gadget velt gadget-detail: "bad=0 other=0 late=0"
pass
