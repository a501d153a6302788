#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "device/hidraw/SysfsText.h"

using namespace velt::hidraw;

// A uevent's HID_ID, once parsed, prints in the kernel's format and parses back to the same
// id, and each of its three numbers is the one written in the uevent, not a part of it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view uevent(reinterpret_cast<const char*>(data), size);
    const auto value = UeventValue(uevent, "HID_ID");
    const auto id = value ? ParseHidId(*value) : std::nullopt;
    if (!id) {
        return 0;
    }
    char printed[32];
    std::snprintf(printed, sizeof printed, "%04X:%08X:%08X", id->bus, id->vendor, id->product);
    const std::size_t first = value->find(':'), second = value->find(':', first + 1);
    // The value is the rest of a line that starts with "HID_ID=".
    const auto start = static_cast<std::size_t>(value->data() - uevent.data());
    if (start < 7 || uevent.substr(start - 7, 7) != "HID_ID=" ||
        (start > 7 && uevent[start - 8] != '\n') || value->find('\n') != value->npos ||
        ParseHidId(printed) != id || ParseHex(value->substr(0, first)) != id->bus ||
        ParseHex(value->substr(first + 1, second - first - 1)) != id->vendor ||
        ParseHex(value->substr(second + 1)) != id->product) {
        std::abort();
    }
    return 0;
}
