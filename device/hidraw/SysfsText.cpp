#include "device/hidraw/SysfsText.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace velt::hidraw {

namespace {

constexpr std::string_view kNodePrefix = "hidraw";

}  // namespace

std::optional<std::uint64_t> NodeNumber(std::string_view name) {
    if (name.size() <= kNodePrefix.size() || !name.starts_with(kNodePrefix)) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(kNodePrefix.size());
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return number;
}

std::optional<std::string_view> UeventValue(std::string_view uevent, std::string_view key) {
    while (!uevent.empty()) {
        const std::string_view line = uevent.substr(0, uevent.find('\n'));
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=') {
            return line.substr(key.size() + 1);
        }
        uevent.remove_prefix(std::min(uevent.size(), line.size() + 1));
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ParseHex(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 8 || error != std::errc() ||
        end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<HidId> ParseHidId(std::string_view value) {
    const std::size_t first = value.find(':');
    const std::size_t second = value.find(':', first == std::string_view::npos ? 0 : first + 1);
    if (second == std::string_view::npos) {
        return std::nullopt;
    }
    const auto bus = ParseHex(value.substr(0, first));
    const auto vendor = ParseHex(value.substr(first + 1, second - first - 1));
    const auto product = ParseHex(value.substr(second + 1));
    // The kernel keeps 32 bits, and uhid lets any program fill them: an ID above 16 bits
    // is no USB device's, and cutting it could make it pass for the Velt-USB.
    if (!bus || !vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) {
        return std::nullopt;
    }
    return HidId{*bus, static_cast<std::uint16_t>(*vendor), static_cast<std::uint16_t>(*product)};
}

}  // namespace velt::hidraw
