#include "cli/Text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "device/Utf8.h"

namespace velt::cli {

namespace {

// Marks and overrides that reorder what follows them on the screen, so that a name can
// pass for another (U+202E turns "gpj.exe" around).
bool IsBidiControl(char32_t codePoint) {
    return codePoint == 0x061C || codePoint == 0x200E || codePoint == 0x200F ||
           (codePoint >= 0x202A && codePoint <= 0x202E) ||
           (codePoint >= 0x2066 && codePoint <= 0x2069);
}

// The letters Printable writes after a backslash: a backslash before one of them in the
// text is doubled, so that an escape and the same characters typed never look alike.
// Other backslashes (Windows paths, \\?\hid#...) stay as they are, to be copied back.
bool StartsEscape(std::string_view text, std::size_t at) {
    return at < text.size() && std::string_view("ntxu").find(text[at]) != std::string_view::npos;
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

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    char escape[8];
    for (std::size_t i = 0; i < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = Utf8Sequence(text, i, codePoint);
        if (length == 0) {
            out += "\uFFFD";
            ++i;
            continue;
        }
        if (codePoint == '"' || codePoint == '\\') {
            out += '\\';
            out += static_cast<char>(codePoint);
        } else if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F) ||
                   IsBidiControl(codePoint)) {
            // Valid JSON either way; escaped, a viewer of the raw lines is not fooled.
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
