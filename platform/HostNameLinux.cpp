#include <unistd.h>

#include "platform/HostName.h"

namespace velt {

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

}  // namespace velt
