#!/bin/sh
# `cmake --install` puts the GNU layout under the prefix, manual pages included, and
# nothing of the portable folder nor of the Debian package's own files; AppStream finds
# the metainfo, desktop entry and icon together.
#   check-install.sh BUILD_DIR OUT_DIR HAVE_WINDOW HAVE_FLASH HAVE_PRODUCTION
set -eu
. "$(dirname "$0")/lib.sh"
build=$1
out=$2
have_window=$3
have_flash=$4
have_production=$5

rm -rf "$out"
cmake --install "$build" --prefix "$out/usr" >/dev/null

programs=""
[ "$have_window" = 1 ] && programs="$programs velt-usb-firmware"
[ "$have_flash" = 1 ] && programs="$programs velt-usb-flash"
[ "$have_production" = 1 ] && programs="$programs velt-usb-production"
entries="velt-usb-firmware.desktop"
[ "$have_production" = 1 ] && entries="$entries velt-usb-production.desktop"
icons=""
pages=""
for program in $programs; do
    pages="$pages
usr/share/man/man1/$program.1.gz"
done
if [ "$have_window" = 1 ]; then
    for n in 16 32 48 128; do
        icons="$icons
usr/share/icons/hicolor/${n}x${n}/apps/velt-usb-firmware.png"
    done
fi
expect_files "$out" "$(printf 'usr/bin/%s\n' $programs)
usr/lib/udev/rules.d/70-velt-usb.rules
$(printf 'usr/share/applications/%s\n' $entries)
usr/share/metainfo/io.velt_usb.Firmware.metainfo.xml
$pages
$icons"
for program in $programs; do
    expect_relative_runpath "$out/usr/bin/$program"
done

if command -v appstreamcli >/dev/null && [ "$have_window" = 1 ]; then
    appstreamcli validate-tree --no-net "$out"
fi
echo "install layout as expected"
