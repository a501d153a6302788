#include "device/IdentityText.h"

#include <algorithm>

namespace velt {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point of the well-formed sequence at `text[i]` and its length, or U+FFFD and 1.
std::pair<char32_t, std::size_t> DecodeOne(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length = 0;
    char32_t codePoint = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        return {kReplacement, 1};
    }
    if (text.size() - i < length) {
        return {kReplacement, 1};
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto byte = static_cast<unsigned char>(text[i + k]);
        if ((byte & 0xC0) != 0x80) {
            return {kReplacement, 1};
        }
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return {kReplacement, 1};
    }
    return {codePoint, length};
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
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

}  // namespace velt
