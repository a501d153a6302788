#pragma once

#include <string>

namespace velt::test {

// A FIFO at `path`; false where the platform has none.
bool MakeFifo(const std::string& path);
// A symbolic link to itself at `path`; false where the platform has none.
bool MakeSymlinkLoop(const std::string& path);

}  // namespace velt::test
