#include "Utf16.h"

#include <algorithm>

namespace velt::hidraw {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }

        std::size_t length;
        char32_t codePoint;
        char32_t minimum;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
            minimum = 0x10000;
        } else {
            out.push_back(kReplacement);  // continuation byte or invalid lead
            ++i;
            continue;
        }

        bool valid = n - i >= length;
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto byte = static_cast<unsigned char>(utf8[i + k]);
            if (!IsContinuation(byte)) {
                valid = false;
            } else {
                codePoint = (codePoint << 6) | (byte & 0x3F);
            }
        }
        if (valid && (codePoint < minimum || codePoint > 0x10FFFF ||
                      (codePoint >= 0xD800 && codePoint <= 0xDFFF))) {
            valid = false;
        }
        if (!valid) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }

        if (codePoint >= 0x10000) {
            const char32_t v = codePoint - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(codePoint));
        }
        i += length;
    }
    return out;
}

bool WriteUtf16Le(std::u16string_view text, std::uint8_t* buffer, std::size_t byteLength) {
    if (buffer == nullptr || byteLength < 2) {
        return false;
    }
    std::size_t units = std::min(text.size(), byteLength / 2 - 1);
    if (units > 0 && units < text.size()) {
        const char16_t last = text[units - 1];
        if (last >= 0xD800 && last <= 0xDBFF) {
            --units;  // do not split a surrogate pair
        }
    }
    for (std::size_t i = 0; i < units; ++i) {
        buffer[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        buffer[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    buffer[2 * units] = 0;
    buffer[2 * units + 1] = 0;
    return true;
}

}  // namespace velt::hidraw
