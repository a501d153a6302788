#!/bin/sh
# The package's postinst and postrm, taken from the package and run directly with only a
# stand-in udevadm on PATH (it records its arguments and fails when told to):
# 1. on configure and on remove they reload the udev rules, then re-trigger hidraw;
# 2. they tolerate udev not being reachable: a failed reload (no trigger then), a failed
#    trigger, no udevadm at all all end with status 0;
# 3. they do nothing on the other dpkg actions, nor when DPKG_ROOT names another root.
#   run-maintainer-scripts.sh DEB_DIR
set -eu
. "$(dirname "$0")/lib.sh"
need_tools dpkg-deb
made_deb "$1"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -e "$deb" "$work/control"
mkdir "$work/bin" "$work/empty"
# VELT_FAIL is "control", "trigger" or empty: the subcommand that fails.
cat >"$work/bin/udevadm" <<STUB
#!/bin/sh
echo "\$*" >>"$work/udevadm.log"
[ "\$1" != "\${VELT_FAIL:-}" ]
STUB
chmod +x "$work/bin/udevadm"

reload="control --reload-rules
trigger --subsystem-match=hidraw"

# run SCRIPT ACTION FAIL PATH_DIR [DPKG_ROOT]: the script's status must be 0; sets
# calls to the udevadm calls.
run() {
    rm -f "$work/udevadm.log"
    status=0
    env -i PATH="$4" VELT_FAIL="$3" DPKG_ROOT="${5:-}" \
        "$work/control/$1" "$2" >"$work/out" 2>&1 || status=$?
    [ "$status" -eq 0 ] ||
        fail "$1 $2 (udevadm failing: '${3:-nothing}') exited with $status: $(cat "$work/out")"
    calls=$(cat "$work/udevadm.log" 2>/dev/null || true)
}
expect_calls() {
    [ "$calls" = "$1" ] || fail "$2: udevadm called with '$calls', expected '$1'"
}

for case in "postinst configure" "postrm remove"; do
    set -- $case
    # 1.
    run "$1" "$2" "" "$work/bin"
    expect_calls "$reload" "$case"
    # 2.
    run "$1" "$2" control "$work/bin"
    expect_calls "control --reload-rules" "$case, reload failing"
    grep -q "udev not reachable" "$work/out" || fail "$case says nothing when udev fails"
    run "$1" "$2" trigger "$work/bin"
    expect_calls "$reload" "$case, trigger failing"
    run "$1" "$2" "" "$work/empty"
    # 3.
    run "$1" "$2" "" "$work/bin" /some/other/root
    expect_calls "" "$case with DPKG_ROOT"
done
for case in "postinst abort-upgrade" "postinst abort-remove" "postrm purge" \
    "postrm upgrade" "postrm abort-install" "postrm failed-upgrade"; do
    set -- $case
    run "$1" "$2" "" "$work/bin"
    expect_calls "" "$case"
done
echo "maintainer scripts reload udev on configure and remove, and never fail for it"
