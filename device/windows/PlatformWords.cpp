#include "device/PlatformWords.h"

namespace velt {

// Windows lets every user open a HID device; it refuses one that another program holds
// open without sharing, or that the system keeps for itself.
const char* PermissionHint() {
    return "another program may hold the Velt-USB open, or Windows keeps it for itself; close "
           "the programs that use it and replug the device";
}

const char* PermissionAdvice() {
    return "Another program may hold it open, or Windows keeps it for itself. Close the "
           "programs that use the Velt-USB, then unplug the device, plug it in again and "
           "restart the program.";
}

const char* PlatformDevicesName() {
    return "the HID devices";
}

}  // namespace velt
