#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velt::hidraw {

// The texts the hidraw backend reads from sysfs, parsed without touching the file system.
// They come from the kernel but describe whatever device is plugged in (uhid devices
// included), so nothing is trusted.

// N of a node name "hidrawN", or nullopt for any other name.
std::optional<std::uint64_t> NodeNumber(std::string_view name);

// The value of `key` in a uevent ("KEY=value" lines), or nullopt.
std::optional<std::string_view> UeventValue(std::string_view uevent, std::string_view key);

// 1 to 8 hex digits, nothing else.
std::optional<std::uint32_t> ParseHex(std::string_view text);

struct HidId {
    std::uint32_t bus = 0;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;

    bool operator==(const HidId&) const = default;
};

// The value of a uevent's HID_ID, BBBB:VVVVVVVV:PPPPPPPP (hex), or nullopt; also nullopt
// when the vendor or product ID does not fit 16 bits.
std::optional<HidId> ParseHidId(std::string_view value);

}  // namespace velt::hidraw
