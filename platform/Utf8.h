#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velt {

// The length of the well-formed UTF-8 sequence that starts at text[i], with its code point
// in `codePoint`; 0 when the byte there starts none (a stray continuation byte, an overlong
// form, an encoded surrogate, a value above U+10FFFF, a sequence cut short).
std::size_t Utf8Sequence(std::string_view text, std::size_t i, char32_t& codePoint);

// Whether `text` is well-formed UTF-8 throughout.
bool ValidUtf8(std::string_view text);

// Appends `codePoint` encoded as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

// Marks and overrides that reorder the text after them on a screen (U+202E and its kin).
bool IsBidiControl(char32_t codePoint);

// A name as a terminal should show it: control characters (C0, DEL, C1), bidirectional
// marks and overrides and bytes that are not UTF-8 become visible escapes (\n, \x1b,
// \u009b, \u202e, \xff) instead of being obeyed; a backslash that would read as the start
// of such an escape is doubled. Every string from a device or a user that reaches a
// terminal goes through it.
std::string Printable(std::string_view text);

}  // namespace velt
