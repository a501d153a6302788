#include "device/IdentityText.h"

#include <algorithm>
#include <cstdio>

#include "platform/Utf8.h"

namespace velt {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point at `text[i]` and its length, or U+FFFD and 1 for a byte that starts no
// well-formed sequence.
std::pair<char32_t, std::size_t> DecodeOne(std::string_view text, std::size_t i) {
    char32_t codePoint = 0;
    const std::size_t length = Utf8Sequence(text, i, codePoint);
    return length == 0 ? std::pair{kReplacement, std::size_t{1}} : std::pair{codePoint, length};
}

}  // namespace

std::string ClampIdentityText(std::string_view utf8) {
    std::string out;
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [codePoint, length] = DecodeOne(utf8, i);
        const std::size_t needed = codePoint >= 0x10000 ? 2 : 1;
        if (units + needed > kMaxIdentityUnits) {
            break;
        }
        units += needed;
        AppendUtf8(out, codePoint);
        i += length;
    }
    return out;
}

std::string IdentityTextFromUtf16(std::u16string_view units) {
    units = units.substr(0, std::min(units.find(u'\0'), kMaxIdentityUnits));
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (high && i + 1 == units.size() && units.size() == kMaxIdentityUnits) {
            break;  // the limit cut a pair: no half character
        } else {
            AppendUtf8(out, high || low ? kReplacement : unit);
        }
    }
    return out;
}

std::string FormatVersion(std::uint16_t versionNumber) {
    char text[16];
    std::snprintf(text, sizeof text, " %u.%X", versionNumber / 256U, versionNumber % 256U);
    return text;
}

}  // namespace velt
