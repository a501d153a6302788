#!/usr/bin/env bash
# Runs the update window on the simulated Velt-USB. With a display it simply opens the
# window. Without one it runs unattended under Xvfb: a screenshot of the window, then a
# whole update, and checks that the device received exactly the sample image.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELT_BUILD_DIR:-$root/build}
demo=$build/bin/velt-usb-firmware-demo
digest_file=$build/bin/demo-image/Velt-USB.bin.sha256
shots=$build/demo

if [ ! -x "$demo" ]; then
    echo "demo: $demo is missing; build first (make build)" >&2
    exit 1
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$demo" "$@"
fi

if ! command -v xvfb-run >/dev/null; then
    echo "demo: no display and no xvfb-run (apt-get install xvfb xauth)" >&2
    exit 1
fi

# Qt wants a private runtime folder; a bare Xvfb session has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

expected=$(cut -d' ' -f1 "$digest_file")
mkdir -p "$shots"
rm -f "$shots"/window.png "$shots"/transfer.png "$shots"/end.png

echo "demo: no display; running under Xvfb, pictures in $shots"
timeout 60 xvfb-run -a "$demo" --screenshot "$shots/window.png" "$@" >/dev/null

set +e
output=$(timeout 120 xvfb-run -a "$demo" --auto-update --screenshot-dir "$shots" "$@")
status=$?
set -e
line=$(printf '%s\n' "$output" | grep '^simulated device:' || true)
echo "${line:-demo: no result line}"
echo "demo: exit status $status"

fail=0
case "$line" in
    *" result=success"*) ;;
    *) echo "demo: FAIL: the update did not succeed"; fail=1 ;;
esac
case "$line" in
    *" sha256=$expected "*) ;;
    *) echo "demo: FAIL: the device did not receive the sample image (sha256 $expected)"; fail=1 ;;
esac
for picture in window transfer end; do
    if [ ! -s "$shots/$picture.png" ]; then
        echo "demo: FAIL: $shots/$picture.png was not written"
        fail=1
    fi
done

if [ "$fail" -ne 0 ]; then
    exit 1
fi
echo "demo: PASS: the simulated Velt-USB received the sample image"
