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

// How many columns a terminal gives `text` (already Printable): most characters one, East
// Asian wide ones two, combining marks and zero-width characters none.
std::size_t DisplayWidth(std::string_view text);

// A name as a terminal should show it: control characters (C0, DEL, C1) and bidirectional
// marks and overrides become visible marks (<U+000A>, <U+202E>), and so do bytes that are not
// UTF-8 (<0xFF>), instead of being obeyed; everything else stays as typed, so that a path
// (C:\temp\new) can be copied back. Every string from a device or a user that reaches a
// terminal goes through it.
std::string Printable(std::string_view text);

}  // namespace velt
