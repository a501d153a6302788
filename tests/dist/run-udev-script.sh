#!/bin/sh
# The packaged install-udev-rule.sh, run from another folder, copies the rule beside it
# into the rules folder and asks udev to reload and re-examine the devices. A stand-in
# udevadm records its arguments.
#   run-udev-script.sh SCRIPT
set -eu
. "$(dirname "$0")/lib.sh"
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/rules.d" "$work/cwd"
cat >"$work/bin/udevadm" <<STUB
#!/bin/sh
echo "\$*" >>"$work/udevadm.log"
STUB
chmod +x "$work/bin/udevadm"

cd "$work/cwd"
PATH="$work/bin:$PATH" VELT_UDEV_RULES_DIR="$work/rules.d" sh "$script"

installed="$work/rules.d/70-velt-usb.rules"
cmp "$installed" "$(dirname "$script")/70-velt-usb.rules" || fail "rule not copied"
[ "$(stat -c %a "$installed")" = 644 ] || fail "rule has mode $(stat -c %a "$installed")"
cat "$work/udevadm.log"
grep -qx "control --reload-rules" "$work/udevadm.log" || fail "udev rules not reloaded"
grep -q "^trigger" "$work/udevadm.log" || fail "devices not re-examined"
