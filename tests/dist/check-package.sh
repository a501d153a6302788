#!/bin/sh
# The tarball holds one folder with the programs at its top, the udev rule with its
# script, the desktop entries, the icons, the README and the license; the programs find no library
# outside that folder.
#   check-package.sh OUT_DIR FOLDER_NAME HAVE_WINDOW HAVE_FLASH HAVE_PRODUCTION
set -eu
. "$(dirname "$0")/lib.sh"
out=$1
folder=$2
have_window=$3
have_flash=$4
have_production=$5

tarball=$(ls "$out"/*.tar.gz)
[ "$(basename "$tarball")" = "$folder.tar.gz" ] || fail "tarball is named $(basename "$tarball")"
tops=$(tar -tzf "$tarball" | cut -d/ -f1 | sort -u)
[ "$tops" = "$folder" ] || fail "tarball top level is '$tops'"

root="$out/unpacked/$folder"
programs=""
[ "$have_window" = 1 ] && programs="$programs velt-usb-firmware"
[ "$have_flash" = 1 ] && programs="$programs velt-usb-flash"
[ "$have_production" = 1 ] && programs="$programs velt-usb-production"
entries="velt-usb-firmware.desktop"
[ "$have_production" = 1 ] && entries="$entries velt-usb-production.desktop"
[ -n "$programs" ] || fail "the build has no program to package"
icons=""
if [ "$have_window" = 1 ]; then
    for n in 16 32 48 128; do
        icons="$icons
icons/hicolor/${n}x${n}/apps/velt-usb-firmware.png"
    done
fi
expect_files "$root" "README.md
LICENSE
$(printf '%s\n' $entries)
udev/70-velt-usb.rules
udev/install-udev-rule.sh
$(printf '%s\n' $programs)
$icons"

# Modes as stored in the tarball, whatever the umask of whoever unpacked it.
listing=$(tar -tvzf "$tarball")
expect_executable() {
    mode=$(printf '%s\n' "$listing" | awk -v path="$folder/$1" '$6 == path { print $1 }')
    [ "$mode" = "-rwxr-xr-x" ] || fail "$1 has mode '$mode' in the tarball"
}
expect_executable udev/install-udev-rule.sh
for program in $programs; do
    expect_executable "$program"
    expect_relative_runpath "$root/$program"
done
cmp "$root/udev/70-velt-usb.rules" "$(dirname "$0")/../../dist/linux/70-velt-usb.rules" ||
    fail "packaged udev rule differs from dist/linux"
echo "package contents as expected"
