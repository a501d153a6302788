#include "tests/support/FileKinds.h"

namespace velt::test {

std::string NullDevice() {
    return "NUL";
}

// Named pipes live in their own namespace, and links need a privilege the tests do not
// have: the cases that need these files run where they exist.
bool MakeFifo(const std::string&) {
    return false;
}

bool MakeSymlinkLoop(const std::string&) {
    return false;
}

}  // namespace velt::test
