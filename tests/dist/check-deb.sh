#!/bin/sh
# The Debian package as dpkg-deb shows it:
# 1. its name, and the control fields;
# 2. Depends, computed from the programs: nobody set it in the build, and each shared
#    library the programs load comes from a package it names;
# 3. every file where it belongs, owned by root with the usual modes, the rule and the
#    desktop entries as in dist/linux, a changelog for this version;
# 4. the maintainer scripts, executable.
#   check-deb.sh DEB_DIR BUILD_DIR VERSION HAVE_WINDOW HAVE_FLASH HAVE_PRODUCTION
set -eu
. "$(dirname "$0")/lib.sh"
dist="$(cd "$(dirname "$0")/../../dist/linux" && pwd)"
out=$1
build=$2
version=$3
have_window=$4
have_flash=$5
have_production=$6
need_tools dpkg-deb dpkg

arch=$(dpkg --print-architecture)
made_deb "$out"
[ "$(basename "$deb")" = "velt-usb-firmware_${version}_${arch}.deb" ] ||
    fail "the package is named $(basename "$deb")"
dpkg-deb -I "$deb"

expect_field() {
    value=$(dpkg-deb -f "$deb" "$1")
    [ "$value" = "$2" ] || fail "$1 is '$value', expected '$2'"
}
expect_field Package velt-usb-firmware
expect_field Version "$version"
expect_field Architecture "$arch"
expect_field Maintainer "Velt-USB Firmware developers <firmware@velt-usb.invalid>"
expect_field Section electronics
expect_field Priority optional
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 2 ] || fail "no long description"

programs=""
[ "$have_window" = 1 ] && programs="$programs velt-usb-firmware"
[ "$have_flash" = 1 ] && programs="$programs velt-usb-flash"
[ "$have_production" = 1 ] && programs="$programs velt-usb-production"
entries="velt-usb-firmware.desktop"
[ "$have_production" = 1 ] && entries="$entries velt-usb-production.desktop"
[ -n "$programs" ] || fail "the build has no program to package"

# 2. Depends.
if grep -q 'CPACK_DEBIAN_.*DEPENDS' "$build/CPackConfig.cmake"; then
    fail "Depends is written in the build, not computed"
fi
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
echo "Depends names: $(echo $depends)"
printf '%s\n' "$depends" | grep -qx libc6 || fail "libc6 is not in Depends"
if [ "$have_window" = 1 ]; then
    printf '%s\n' "$depends" | grep -qx libqt6widgets6 || fail "libqt6widgets6 is not in Depends"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
for program in $programs; do
    for soname in $(readelf -d "$work/root/usr/bin/$program" |
        sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        # The packages on this machine that ship the library; one must be in Depends.
        owners=$(dpkg -S "*/$soname" 2>/dev/null | sed 's/: .*//' | tr ',' '\n' |
            sed 's/^ *//; s/:.*//' | sort -u)
        [ -n "$owners" ] || fail "no package on this machine ships $soname"
        found=""
        for owner in $owners; do
            printf '%s\n' "$depends" | grep -qx "$owner" && found=$owner
        done
        [ -n "$found" ] || fail "$program needs $soname (from $(echo $owners)), not in Depends"
    done
done

# 3. The files.
listing=$(dpkg-deb -c "$deb")
files=$(printf '%s\n' "$listing" | awk '$1 ~ /^-/ { sub(/^\.\//, "", $6); print $6 }')
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
expected=$(printf '%s\n' "$(printf 'usr/bin/%s\n' $programs)
usr/lib/udev/rules.d/70-velt-usb.rules
$(printf 'usr/share/applications/%s\n' $entries)
usr/share/metainfo/io.velt_usb.Firmware.metainfo.xml
usr/share/doc/velt-usb-firmware/copyright
usr/share/doc/velt-usb-firmware/changelog.gz
$pages
$icons" | sed '/^$/d' | LC_ALL=C sort)
if [ "$(printf '%s\n' "$files" | LC_ALL=C sort)" != "$expected" ]; then
    echo "expected files:" >&2
    echo "$expected" >&2
    echo "found:" >&2
    echo "$files" >&2
    fail "unexpected contents of the package"
fi
printf '%s\n' "$listing" | awk '$2 != "root/root" { print; bad = 1 } END { exit bad }' ||
    fail "entries not owned by root/root"
printf '%s\n' "$listing" | awk '
    $1 ~ /^d/ && $1 != "drwxr-xr-x" { print; bad = 1 }
    $1 ~ /^-/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { print; bad = 1 }
    $1 ~ /^-/ && $6 !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" { print; bad = 1 }
    $1 !~ /^[-d]/ { print; bad = 1 }
    END { exit bad }' || fail "entries with unexpected modes or types"

cmp "$work/root/usr/lib/udev/rules.d/70-velt-usb.rules" "$dist/70-velt-usb.rules" ||
    fail "packaged udev rule differs from dist/linux"
for entry in $entries; do
    cmp "$work/root/usr/share/applications/$entry" "$dist/$entry" ||
        fail "packaged $entry differs from dist/linux"
done
for page in $pages usr/share/doc/velt-usb-firmware/changelog.gz; do
    gzip -t "$work/root/$page" || fail "$page is not gzip"
done
first=$(gzip -dc "$work/root/usr/share/doc/velt-usb-firmware/changelog.gz" | head -n 1)
[ "$first" = "velt-usb-firmware ($version) unstable; urgency=medium" ] ||
    fail "the changelog starts with '$first'"
grep -q '^Files: \*$' "$work/root/usr/share/doc/velt-usb-firmware/copyright" ||
    fail "the copyright file has no Files: paragraph"

# 4. The maintainer scripts.
dpkg-deb -e "$deb" "$work/control"
for script in postinst postrm; do
    [ -f "$work/control/$script" ] || fail "no $script in the package"
    [ "$(stat -c %a "$work/control/$script")" = 755 ] ||
        fail "$script has mode $(stat -c %a "$work/control/$script")"
done
[ "$(ls "$work/control" | LC_ALL=C sort | tr '\n' ' ')" = "control md5sums postinst postrm " ] ||
    fail "control files: $(ls "$work/control")"
echo "package contents and metadata as expected"
