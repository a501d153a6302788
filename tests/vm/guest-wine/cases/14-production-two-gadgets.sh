# The production window, armed with the image, and two Velt-USBs, one on each bus, through
# wine's HID stack: each gadget, by its own count, takes one mode switch and exactly the
# image; both tiles read PASS and the record has one success entry for each serial with
# the station's name. Wine tells no USB location, so the tiles are known by serial number.
#
# The second takes 3 s longer to restart, as in case 11: wine 8's bus loses devices that
# leave at the same moment.
. /tmp/velt/wine/wine-lib.sh

[ -n "${DISPLAY:-}" ] || skip "no Xvfb in the VM"
[ -f "$VELT_WINE_BIN/Velt-USB Production.exe" ] ||
    fail "no Velt-USB Production.exe in the Windows build"

start_gadget velta --udc dummy_udc.0 --pid 0x2442 --serial PA-0001
start_gadget veltb --udc dummy_udc.1 --pid 0x2442 --serial PB-0002 --leave-after-ms 3000
wait_hidraw_count 1209 2442 2 || fail "the two Velt-USBs did not both show up as hidraw nodes"
wine_lists "serial:         PA-0001" "serial:         PB-0002"

record=/tmp/production.record
shot=/tmp/production.png
station=LINE-7
rm -f "$record" "$shot"
FLASH=wine-production
FLASH_OPTIONS="--arm --record $(windows_path "$record") --station $station --expected 2"
start=$(uptime_s)
run_tool "$(windows_path "$IMAGE")" --screenshot "$(windows_path "$shot")"
log "the window closed after $(awk "BEGIN { printf \"%.1f\", $(uptime_s) - $start }") s"
unix_lines /tmp/tool.out
usb_events
stop_gadget velta veltb
sed 's/^/  record| /' "$record" 2>/dev/null

expect_status 0
expect_flashed velta veltb
for serial in PA-0001 PB-0002; do
    grep -qxF "tile serial $serial: PASS" /tmp/tool.out || fail "no PASS tile for $serial"
done
[ "$(grep -c '^tile ' /tmp/tool.out)" -eq 2 ] || fail "not exactly two tiles"

expect_station_record "$record" "$shot" "$station" PA-0001 PB-0002
pass
