# Helpers for the wine cases, after the usual ones (/tmp/velt/lib.sh): the flasher is the
# Windows build's velt-usb-flash.exe under wine, and the files live where stage2 put them.
. /tmp/velt/lib.sh

IMAGE=/tmp/velt/data/image-8000.bin
FLASH=wine-flash
# wine learns of a device from udev a moment after its hidraw node appears, so the
# cases give flash --wait; a wine command takes seconds under TCG.
FLASH_OPTIONS="--yes"
TOOL_TIMEOUT=150

mkdir -p /tmp/velt/bin
if [ ! -x /tmp/velt/bin/wine-flash ]; then
    printf '#!/bin/sh\nexec wine "$VELT_WINE_BIN/velt-usb-flash.exe" "$@"\n' >/tmp/velt/bin/wine-flash
    chmod 755 /tmp/velt/bin/wine-flash
fi

# windows_path FILE: the name the Windows program is given for a file of the guest (Z: is /).
windows_path() { echo "Z:$1" | tr / '\\'; }

# Windows names hold backslashes, which the shell's echo would take for escapes.
log() { printf '%s\n' "$*"; }
