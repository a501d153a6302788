#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velt {

// The logic speaks UTF-8, the W calls UTF-16. Invalid input becomes U+FFFD.
std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

// The folder the running program lies in, UTF-8, without a trailing separator.
std::string ProgramFolder();

// The program's command line, split as the C runtime would, each argument UTF-8.
std::vector<std::string> Utf8Arguments();

}  // namespace velt
