#!/bin/sh
# Installs the udev rule that lets the user at the seat open a Velt-USB without root
# rights. Run it once, as root, from the unpacked folder:  sudo ./udev/install-udev-rule.sh
# VELT_UDEV_RULES_DIR chooses another target folder (default /etc/udev/rules.d).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rule="$here/70-velt-usb.rules"
target_dir=${VELT_UDEV_RULES_DIR:-/etc/udev/rules.d}

if [ ! -f "$rule" ]; then
    echo "install-udev-rule.sh: $rule is missing; run the script from the unpacked folder." >&2
    exit 1
fi
if [ ! -w "$target_dir" ]; then
    echo "install-udev-rule.sh: cannot write to $target_dir; run it as root:" >&2
    echo "  sudo $0" >&2
    exit 1
fi

install -m 0644 "$rule" "$target_dir/70-velt-usb.rules"
echo "Installed $target_dir/70-velt-usb.rules"

# Without a running udev (a container, a chroot) the rule still takes effect at the next
# boot, so a failed reload is reported but is not an error.
if udevadm control --reload-rules && udevadm trigger --subsystem-match=hidraw; then
    echo "udev rules reloaded."
else
    echo "Could not reload udev now; the rule takes effect after a reboot." >&2
fi
echo "Unplug the Velt-USB and plug it in again before starting velt-usb-firmware."
