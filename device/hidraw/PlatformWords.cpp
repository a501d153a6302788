#include "device/PlatformWords.h"

namespace velt {

const char* PermissionHint() {
    return "install the udev rule 70-velt-usb.rules and replug the device; see the README, "
           "section \"Permissions\"";
}

const char* PermissionAdvice() {
    return "Install the udev rule 70-velt-usb.rules as the README describes under "
           "\"Permissions\", then unplug the device, plug it in again and restart the program.";
}

const char* PlatformDevicesName() {
    return "the hidraw devices";
}

}  // namespace velt
