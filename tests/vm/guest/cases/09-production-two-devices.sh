# The production window, armed with the image, and two Velt-USBs, one on each bus: each is
# flashed once through the kernel's USB HID stack, both tiles read PASS, and the record has
# one success entry for each serial with the station's name. Qt draws offscreen: the VM has
# no display.
. /lib/vm-lib.sh

command -v velt-usb-production >/dev/null || skip "velt-usb-production is not in this build"

start_gadget velta --udc dummy_udc.0 --pid 0x2442 --serial PA-0001
start_gadget veltb --udc dummy_udc.1 --pid 0x2442 --serial PB-0002
wait_hidraw_count 1209 2442 2 || fail "the two Velt-USBs did not both show up as hidraw nodes"
loc_a=$(usb_location PA-0001) || fail "no USB device with serial PA-0001 in sysfs"
loc_b=$(usb_location PB-0002) || fail "no USB device with serial PB-0002 in sysfs"
log "velta at $loc_a, veltb at $loc_b"

record=/tmp/production.record
shot=/tmp/production.png
station=LINE-7
rm -f "$record" "$shot"
export QT_QPA_PLATFORM=offscreen
FLASH=velt-usb-production
FLASH_OPTIONS="--arm --record $record --station $station"
TOOL_TIMEOUT=50
start=$(uptime_s)
run_tool "$IMAGE" --screenshot "$shot"
log "the window closed after $(awk "BEGIN { printf \"%.1f\", $(uptime_s) - $start }") s"
usb_events
stop_gadget velta veltb
sed 's/^/  record| /' "$record" 2>/dev/null

expect_status 0
expect_flashed velta veltb
for loc in "$loc_a" "$loc_b"; do
    grep -qxF "tile $loc: PASS" /tmp/tool.out || fail "no PASS tile for $loc"
done
[ "$(grep -c '^tile ' /tmp/tool.out)" -eq 2 ] || fail "not exactly two tiles"
grep -qxF 'production: passed=2 failed=0 already-done=0' /tmp/tool.out ||
    fail "the counters are not two passed"

expect_station_record "$record" "$shot" "$station" PA-0001 PB-0002
pass
