#include "platform/Utf8.h"

#include <cstdio>

namespace velt {

std::size_t Utf8Sequence(std::string_view text, std::size_t i, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80                    ? 1
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || text.size() - i < length) {
        return 0;
    }
    codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid = codePoint >= kMinimum[length] && codePoint <= 0x10FFFF &&
                       (codePoint < 0xD800 || codePoint > 0xDFFF);
    return valid ? length : 0;
}

bool ValidUtf8(std::string_view text) {
    char32_t codePoint = 0;
    for (std::size_t i = 0, length = 0; i < text.size(); i += length) {
        length = Utf8Sequence(text, i, codePoint);
        if (length == 0) {
            return false;
        }
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Marks and overrides that reorder what follows them on the screen, so that a name can
// pass for another (U+202E turns "gpj.exe" around).
bool IsBidiControl(char32_t codePoint) {
    return codePoint == 0x061C || codePoint == 0x200E || codePoint == 0x200F ||
           (codePoint >= 0x202A && codePoint <= 0x202E) ||
           (codePoint >= 0x2066 && codePoint <= 0x2069);
}

namespace {

// What Printable writes after a backslash: n, t, x and two hex digits, u and four. A
// backslash in the text before such letters is doubled, so that an escape and the same
// characters typed never look alike. Other backslashes (C:\Users, \\?\hid#...) stay as
// they are, to be copied back.
bool StartsEscape(std::string_view text, std::size_t at) {
    const auto hex = [&](std::size_t count) {
        return text.size() >= at + 1 + count &&
               text.substr(at + 1, count).find_first_not_of("0123456789abcdefABCDEF") ==
                   std::string_view::npos;
    };
    if (at >= text.size()) {
        return false;
    }
    switch (text[at]) {
        case 'n':
        case 't':
            return true;
        case 'x':
            return hex(2);
        case 'u':
            return hex(4);
        default:
            return false;
    }
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string out;
    char escape[8];
    for (std::size_t i = 0; i < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = Utf8Sequence(text, i, codePoint);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[i]));
            out += escape;
            ++i;
            continue;
        }
        if (codePoint == '\\' && StartsEscape(text, i + 1)) {
            out += "\\\\";
        } else if (codePoint == '\n') {
            out += "\\n";
        } else if (codePoint == '\t') {
            out += "\\t";
        } else if (codePoint < 0x20 || codePoint == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(codePoint));
            out += escape;
        } else if ((codePoint >= 0x80 && codePoint <= 0x9F) || IsBidiControl(codePoint)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(codePoint));
            out += escape;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

}  // namespace velt
