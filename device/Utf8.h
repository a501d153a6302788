#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velt {

// The length of the well-formed UTF-8 sequence that starts at text[i], with its code point
// in `codePoint`; 0 when the byte there starts none (a stray continuation byte, an overlong
// form, an encoded surrogate, a value above U+10FFFF, a sequence cut short).
std::size_t Utf8Sequence(std::string_view text, std::size_t i, char32_t& codePoint);

// Appends `codePoint` encoded as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace velt
