#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velt {

// The longest identity string shown, in UTF-16 code units (the size of the query buffer
// the device was built against).
inline constexpr std::size_t kMaxIdentityUnits = 50;

// An identity string as the device layer hands it out: well-formed UTF-8 of at most
// kMaxIdentityUnits UTF-16 code units. A byte that does not start a well-formed UTF-8
// sequence becomes U+FFFD; a character that would not fit whole is dropped.
std::string ClampIdentityText(std::string_view utf8);

// The same from UTF-16 as a HID stack that hands out UTF-16 gives it: up to the first NUL,
// at most kMaxIdentityUnits units, a surrogate pair cut by the limit dropped whole, an
// unpaired surrogate shown as U+FFFD.
std::string IdentityTextFromUtf16(std::u16string_view units);

// " major.MINORHEX", e.g. " 1.A" for 0x010A: the device's release number as the window and
// the command line show it.
std::string FormatVersion(std::uint16_t versionNumber);

}  // namespace velt
