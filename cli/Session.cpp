#include "cli/Session.h"

#include <algorithm>
#include <cctype>

#include "cli/Text.h"

namespace velt::cli {

std::optional<int> WaitForDevice(Session& session, const std::optional<std::uint64_t>& waitMs,
                                 const std::function<bool()>& found) {
    constexpr std::uint32_t kPollMs = 100;
    if (found()) {
        return std::nullopt;
    }
    if (!waitMs) {
        return kExitNoDevice;
    }
    const int pressed = session.interrupts.Count();
    const std::uint64_t start = session.clock.NowMs();
    session.out << "Waiting for a Velt-USB..." << std::endl;
    for (;;) {
        if (session.interrupts.Count() > pressed) {
            session.io.err << "Interrupted while waiting for a device." << std::endl;
            return kExitInterrupted;
        }
        if (*waitMs > 0 && session.clock.NowMs() - start >= *waitMs) {
            return kExitNoDevice;
        }
        session.clock.SleepMs(kPollMs);
        if (found()) {
            return std::nullopt;
        }
    }
}

bool ConfirmFlash(Session& session, const FlashOptions& options, const FirmwareImage& image,
                  const std::string& devices) {
    if (!session.terminalIn || options.yes || options.json) {
        return true;
    }
    const std::string question = "Flash " + Printable(options.image) + " (" +
                                 RecordCount(image.wholeRecords()) + ") to " + devices + "?";
    // A person types the answer; the question goes where they see it, not into a pipe.
    std::ostream& asked = session.terminalOut ? session.out : session.io.err;
    const int pressed = session.interrupts.Count();
    asked << question << " [y/N] " << std::flush;
    std::string answer;
    const bool read = static_cast<bool>(std::getline(session.io.in, answer));
    const bool interrupted = session.interrupts.Count() > pressed;
    if (!read || interrupted) {
        asked << std::endl;
    }
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (read && !interrupted && (answer == "y" || answer == "yes")) {
        return true;
    }
    session.io.err << "Not flashed." << std::endl;
    return false;
}

}  // namespace velt::cli
