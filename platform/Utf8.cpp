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

struct Range {
    char32_t first;
    char32_t last;
};

// Marks drawn on the character before them, and characters that take no room.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489},  {0x0591, 0x05BD}, {0x05BF, 0x05C7}, {0x0610, 0x061A},
    {0x064B, 0x065F}, {0x0670, 0x0670},  {0x06D6, 0x06ED}, {0x0900, 0x0903}, {0x093A, 0x094F},
    {0x0E31, 0x0E31}, {0x0E34, 0x0E3A},  {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},
    {0x200B, 0x200F}, {0x2060, 0x2064},  {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
    {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF}};
// East Asian wide and full-width characters, and the pictographs terminals draw wide.
constexpr Range kDoubleWidth[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},
                                  {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
                                  {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},
                                  {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
                                  {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};

template <std::size_t N>
bool In(const Range (&ranges)[N], char32_t codePoint) {
    for (const Range& range : ranges) {
        if (codePoint >= range.first && codePoint <= range.last) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = Utf8Sequence(text, i, codePoint);
        if (length == 0) {
            ++width;  // shown as one replacement character
            ++i;
            continue;
        }
        width += In(kZeroWidth, codePoint) ? 0 : In(kDoubleWidth, codePoint) ? 2 : 1;
        i += length;
    }
    return width;
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
