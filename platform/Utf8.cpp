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

// Whether the text at `at` reads as one of Printable's marks: <U+XXXX> or <0xXX>. A '<'
// that starts one in the text itself is marked, so that a mark and the same characters
// typed never look alike; every other character stays as typed, backslashes included.
bool LooksLikeMark(std::string_view text, std::size_t at) {
    const auto hexThenClose = [&](std::size_t from, std::size_t count) {
        return text.size() > from + count && text[from + count] == '>' &&
               text.substr(from, count).find_first_not_of("0123456789ABCDEFabcdef") ==
                   std::string_view::npos;
    };
    const std::string_view rest = text.substr(at);
    return (rest.starts_with("<U+") && hexThenClose(at + 3, 4)) ||
           (rest.starts_with("<0x") && hexThenClose(at + 3, 2));
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string out;
    char mark[16];
    for (std::size_t i = 0; i < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = Utf8Sequence(text, i, codePoint);
        if (length == 0) {
            std::snprintf(mark, sizeof mark, "<0x%02X>", static_cast<unsigned char>(text[i]));
            out += mark;
            ++i;
            continue;
        }
        // '<' cannot be part of a Windows path, so a mark is never taken for one.
        if (codePoint < 0x20 || codePoint == 0x7F || (codePoint >= 0x80 && codePoint <= 0x9F) ||
            IsBidiControl(codePoint) || (codePoint == '<' && LooksLikeMark(text, i))) {
            std::snprintf(mark, sizeof mark, "<U+%04X>", static_cast<unsigned>(codePoint));
            out += mark;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

}  // namespace velt
