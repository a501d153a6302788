#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/FileKinds.h"

namespace velt::test {

std::string NullDevice() {
    return "/dev/null";
}

bool MakeFifo(const std::string& path) {
    return mkfifo(path.c_str(), 0600) == 0;
}

bool MakeSymlinkLoop(const std::string& path) {
    return symlink(path.c_str(), path.c_str()) == 0;
}

}  // namespace velt::test
