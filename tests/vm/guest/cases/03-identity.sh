# The identity comes from the USB device in sysfs: non-ASCII strings survive the trip
# through UTF-16 descriptors, and the version shows as " major.MINOR" with the minor part
# in hex digits. configfs takes only BCD versions, so 0x010A goes through the legacy
# g_ffs gadget, which takes any.
. /lib/vm-lib.sh

MANUFACTURER="Müller Geräte"
PRODUCT="Прошивка Велт-USB"
SERIAL="ВЛТ-0042"

start_gadget velt --pid 0x2442 --bcd 0x0110 --manufacturer "$MANUFACTURER" \
    --product "$PRODUCT" --serial "$SERIAL"
wait_hidraw 1209 2442 || fail "the Velt-USB did not show up as a hidraw node"
usb=$(readlink -f "/sys/class/hidraw/$node/device/../..")
log "usb device: $usb"
[ "$(cat "$usb/bcdDevice")" = 0110 ] || fail "sysfs bcdDevice is $(cat "$usb/bcdDevice")"
[ "$(cat "$usb/manufacturer")" = "$MANUFACTURER" ] || fail "sysfs manufacturer is $(cat "$usb/manufacturer")"
run_tool list
run_window
stop_gadget velt
expect_status 0
expect_window "caption lblManuf ' $MANUFACTURER'"
expect_window "caption lblProduct ' $PRODUCT'"
expect_window "caption lblSerialNumber ' $SERIAL'"
expect_window "caption lblVersion ' 1.10'"
expect_output "$MANUFACTURER"
expect_output "$PRODUCT"
expect_output "$SERIAL"
expect_output " 1.10"
expect_untouched velt

# g_ffs binds to the first free controller and, while loaded, allows no other FunctionFS
# instance: it must go whatever happens.
at_end "rmmod g_ffs; rmmod usb_f_ecm; rmmod usb_f_rndis; rmmod u_ether"
for m in u_ether usb_f_rndis usb_f_ecm; do
    insmod "/lib/modules/$m.ko" || fail "insmod $m"
done
insmod /lib/modules/g_ffs.ko functions=legacy idVendor=0x1209 idProduct=0x2442 \
    bcdDevice=0x010A iManufacturer="\"$MANUFACTURER\"" iProduct="\"$PRODUCT\"" \
    iSerialNumber="\"$SERIAL\"" || fail "insmod g_ffs"
start_gadget legacy --legacy
wait_hidraw 1209 2442 || fail "the legacy gadget did not show up as a hidraw node"
usb=$(readlink -f "/sys/class/hidraw/$node/device/../..")
log "legacy usb device: $usb bcdDevice=$(cat "$usb/bcdDevice") manufacturer=$(cat "$usb/manufacturer")"
[ "$(cat "$usb/bcdDevice")" = 010a ] || fail "sysfs bcdDevice is $(cat "$usb/bcdDevice")"
run_tool list
run_window
stop_gadget legacy
expect_window "caption lblVersion ' 1.A'"
expect_status 0
expect_output "$MANUFACTURER"
expect_output "$PRODUCT"
expect_output " 1.A"
pass
