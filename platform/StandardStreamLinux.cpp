#include <unistd.h>
#include <cerrno>

#include "platform/StandardStream.h"

namespace velt {

bool WriteStandard(StandardStream stream, std::string_view text) {
    const int fd = stream == StandardStream::Out ? STDOUT_FILENO : STDERR_FILENO;
    // A pipe may take a long text in parts; a terminal shows UTF-8 as it is.
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace velt
