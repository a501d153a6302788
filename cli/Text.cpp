#include "cli/Text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace velt::cli {

namespace {

// The length of the well-formed UTF-8 sequence at text[i] and its code point; 0 when the
// byte starts none.
std::size_t Sequence(std::string_view text, std::size_t i, char32_t& codePoint) {
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

}  // namespace

std::string Printable(std::string_view text) {
    std::string out;
    char escape[8];
    for (std::size_t i = 0; i < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = Sequence(text, i, codePoint);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[i]));
            out += escape;
            ++i;
            continue;
        }
        if (codePoint == '\n') {
            out += "\\n";
        } else if (codePoint == '\t') {
            out += "\\t";
        } else if (codePoint < 0x20 || codePoint == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(codePoint));
            out += escape;
        } else if (codePoint >= 0x80 && codePoint <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(codePoint));
            out += escape;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    char escape[8];
    for (std::size_t i = 0; i < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = Sequence(text, i, codePoint);
        if (length == 0) {
            out += "\uFFFD";
            ++i;
            continue;
        }
        if (codePoint == '"' || codePoint == '\\') {
            out += '\\';
            out += static_cast<char>(codePoint);
        } else if (codePoint < 0x20 || codePoint == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(codePoint));
            out += escape;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out + '"';
}

std::optional<std::uint64_t> ParseSeconds(std::string_view text) {
    double seconds = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(seconds) || seconds < 0 || seconds > static_cast<double>(kMaxSeconds)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(std::ceil(seconds * 1000.0));
}

}  // namespace velt::cli
