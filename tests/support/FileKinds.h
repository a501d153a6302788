#pragma once

#include <string>

namespace velt::test {

// The system's empty character device: /dev/null, NUL.
std::string NullDevice();
// A FIFO at `path`; false where the platform has none.
bool MakeFifo(const std::string& path);
// A symbolic link to itself at `path`; false where the platform has none.
bool MakeSymlinkLoop(const std::string& path);

}  // namespace velt::test
