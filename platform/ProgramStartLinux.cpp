#include <unistd.h>

#include "platform/ProgramStart.h"

namespace velt {

namespace {

volatile std::sig_atomic_t signalCount = 0;

// SIGTERM and SIGHUP (a closed terminal, a dropped SSH session) count as Ctrl-C does: a
// half-written device is worse than a late exit.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnInterrupt(int signal) {
    signalCount = signalCount + 1;
    if (signalCount >= 3) {
        std::signal(signal, SIG_DFL);
    }
}

}  // namespace

ProgramStart StartProgram(int argc, char** argv) {
    ProgramStart start;
    start.args.assign(argv + 1, argv + argc);
    start.terminalOut = isatty(STDOUT_FILENO) != 0;
    start.terminalIn = isatty(STDIN_FILENO) != 0;
    return start;
}

void WaitForKey() {
    // A terminal stays open after its program ends.
}

const volatile std::sig_atomic_t* InstallInterruptHandler() {
    // Without SA_RESTART, so that a prompt blocked in a read returns.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (const int signal : kStopSignals) {
        sigaction(signal, &action, nullptr);
    }
    // A reader that went away (`| head`) must not end a transfer: the write fails instead.
    std::signal(SIGPIPE, SIG_IGN);
    // Nor a record grown past the file-size limit: its write fails and is said.
    std::signal(SIGXFSZ, SIG_IGN);
    return &signalCount;
}

}  // namespace velt
