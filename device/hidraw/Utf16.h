#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velt::hidraw {

// Decodes UTF-8 into UTF-16 (code points above U+FFFF become surrogate pairs). Each
// byte that does not start a well-formed sequence (stray continuation bytes, overlong
// forms, encoded surrogates, values above U+10FFFF, truncated sequences) becomes one
// U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Writes `text` as NUL-terminated UTF-16LE into `buffer`, never past `byteLength`
// bytes. A text too long is cut so that the terminator still fits, and never between
// the two halves of a surrogate pair. Returns false, writing nothing, when
// `byteLength` < 2 (not even the terminator fits).
bool WriteUtf16Le(std::u16string_view text, std::uint8_t* buffer, std::size_t byteLength);

}  // namespace velt::hidraw
