#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velt {

// Text as the Windows calls take it: the program speaks UTF-8, the W calls UTF-16.
// Invalid input becomes U+FFFD.
std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

// The system's words for a GetLastError() code, UTF-8, without the closing full stop and
// line break; its number when the system has none.
std::string SystemMessage(unsigned long error);

// The program's command line split as the C runtime splits it, each argument UTF-8, the
// program's own name first. argv would hold them in the ANSI code page, which cannot
// spell every file name.
std::vector<std::string> Utf8Arguments();

// The folder the running program lies in, UTF-8, without a trailing separator.
std::string ProgramFolder();

}  // namespace velt
