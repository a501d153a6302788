#!/bin/sh
# The Debian package installed by dpkg into a root made for the test (never into this
# machine's own), then removed and purged:
# 1. dpkg unpacks and configures it; the maintainer scripts, which see DPKG_ROOT, leave
#    the machine's udev alone (a stand-in udevadm first on PATH records any call);
# 2. the installed velt-usb-flash starts and reports the version; each desktop entry's
#    program and icon are installed beside it;
# 3. every manual page renders with `man -l` without a warning; those of velt-usb-flash
#    and velt-usb-production name every option their `--help` shows, and the one of
#    velt-usb-flash every exit status;
# 4. removal takes every file away, the udev rule too, and purge forgets the package.
#   install-deb.sh DEB_DIR VERSION HAVE_WINDOW HAVE_FLASH HAVE_PRODUCTION
set -eu
here=$(dirname "$0")
. "$here/lib.sh"
made_deb "$1"
version=$2
have_window=$3
have_flash=$4
have_production=$5
need_tools dpkg dpkg-query man

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
admin="$root/var/lib/dpkg"
mkdir -p "$admin/info" "$admin/updates" "$work/bin"
: >"$admin/status"
cat >"$work/bin/udevadm" <<STUB
#!/bin/sh
echo "\$*" >>"$work/udevadm.log"
STUB
chmod +x "$work/bin/udevadm"

# Scripts run outside a chroot (not root's business here), with DPKG_ROOT set. The
# machine's own path filters (a container may drop manual pages) do not apply.
in_root() {
    PATH="$work/bin:$PATH" dpkg --root="$root" --log="$work/dpkg.log" --force-not-root \
        --force-script-chrootless --path-include='*' "$@"
}
package_status() {
    dpkg-query --admindir="$admin" -W -f='${Status}' velt-usb-firmware 2>/dev/null || true
}
installed_files() {
    (cd "$root" && find . ! -type d ! -path './var/lib/dpkg/*' | sed 's|^\./||' | LC_ALL=C sort)
}

# 1. Install. The libraries in Depends are this machine's, not the test root's.
in_root --force-depends --install "$deb"
[ "$(package_status)" = "install ok installed" ] || fail "status after install: $(package_status)"
[ ! -e "$work/udevadm.log" ] ||
    fail "the maintainer scripts called udevadm for another root: $(cat "$work/udevadm.log")"
[ -f "$root/usr/lib/udev/rules.d/70-velt-usb.rules" ] || fail "the udev rule is not installed"

# 2. The programs.
if [ "$have_flash" = 1 ]; then
    "$here/run-flash.sh" "$root/usr/bin/velt-usb-flash" "$version"
fi
windows=""
[ "$have_window" = 1 ] && windows="$windows velt-usb-firmware"
[ "$have_production" = 1 ] && windows="$windows velt-usb-production"
for window in $windows; do
    entry="$root/usr/share/applications/$window.desktop"
    exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    [ "$exec_program" = "$window" ] && [ -x "$root/usr/bin/$exec_program" ] ||
        fail "the desktop entry of $window starts '$exec_program'"
    icon=$(sed -n 's/^Icon=//p' "$entry")
    ls "$root"/usr/share/icons/hicolor/*/apps/"$icon".png >/dev/null ||
        fail "the desktop entry's icon '$icon' is not installed"
done

# 3. The manual pages.
programs=""
[ "$have_window" = 1 ] && programs="$programs velt-usb-firmware"
[ "$have_flash" = 1 ] && programs="$programs velt-usb-flash"
[ "$have_production" = 1 ] && programs="$programs velt-usb-production"
for program in $programs; do
    page="$root/usr/share/man/man1/$program.1.gz"
    [ -f "$page" ] || fail "no manual page for $program"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 \
        >"$work/$program.txt") || fail "man -l $page failed: $warnings"
    [ -z "$warnings" ] || fail "man warns about $program.1: $warnings"
    for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" PERMISSIONS EXAMPLES; do
        grep -qx "$section" "$work/$program.txt" || fail "$program.1 has no $section section"
    done
    grep -A1 -x SYNOPSIS "$work/$program.txt" | grep -q "^ *$program " ||
        fail "the synopsis of $program.1 does not start with $program"
done
# expect_options_named PROGRAM HELP: the rendered page of PROGRAM names every option that
# the text HELP shows; sets options to them.
expect_options_named() {
    options=$(printf '%s\n' "$2" |
        sed -n 's/^ *\(-[a-z],\)\{0,1\}\(--[a-z][a-z0-9-]*\).*/\2/p' | sort -u)
    [ -n "$options" ] || fail "$1 --help shows no option"
    for option in $options; do
        grep -q -- "$option\([^a-z0-9-]\|$\)" "$work/$1.txt" || fail "$1.1 does not name $option"
    done
}
if [ "$have_flash" = 1 ]; then
    flash="$root/usr/bin/velt-usb-flash"
    page="$work/velt-usb-flash.txt"
    help=$("$flash" --help; "$flash" list --help; "$flash" flash --help; "$flash" history --help)
    expect_options_named velt-usb-flash "$help"
    statuses=$(printf '%s\n' "$help" | sed -n 's/^Exit status: //p' | head -n 1 |
        tr ',' '\n' | sed 's/^ *\([0-9]*\) .*/\1/')
    [ -n "$statuses" ] || fail "velt-usb-flash --help shows no exit status"
    exit_section=$(sed -n '/^EXIT STATUS$/,/^[A-Z]/p' "$page")
    for status in $statuses; do
        printf '%s\n' "$exit_section" | grep -q "^ *$status  " ||
            fail "velt-usb-flash.1 does not describe exit status $status"
    done
    echo "velt-usb-flash.1 names every option and exit status:" $options $statuses
fi
if [ "$have_production" = 1 ]; then
    help=$("$root/usr/bin/velt-usb-production" --help) ||
        fail "velt-usb-production --help exited with $?"
    expect_options_named velt-usb-production "$help"
    echo "velt-usb-production.1 names every option:" $options
fi

# 4. Remove and purge.
in_root --remove velt-usb-firmware
[ ! -e "$root/usr/lib/udev/rules.d/70-velt-usb.rules" ] || fail "the udev rule outlived removal"
left=$(installed_files)
[ -z "$left" ] || fail "files left after removal: $left"
[ "$(package_status)" = "deinstall ok config-files" ] ||
    [ "$(package_status)" = "deinstall ok not-installed" ] ||
    fail "status after removal: $(package_status)"
in_root --purge velt-usb-firmware
case "$(package_status)" in
    "" | *not-installed) ;;
    *) fail "status after purge: $(package_status)" ;;
esac
[ ! -e "$work/udevadm.log" ] ||
    fail "the maintainer scripts called udevadm for another root: $(cat "$work/udevadm.log")"
echo "installed, checked, removed and purged in $root"
