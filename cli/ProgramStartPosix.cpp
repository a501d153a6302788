#include <unistd.h>

#include "cli/ProgramStart.h"

namespace velt::cli {

namespace {

volatile std::sig_atomic_t signalCount = 0;

extern "C" void OnInterrupt(int) {
    signalCount = signalCount + 1;
    if (signalCount >= 3) {
        std::signal(SIGINT, SIG_DFL);
    }
}

}  // namespace

ProgramStart StartProgram(int argc, char** argv) {
    ProgramStart start;
    start.args.assign(argv + 1, argv + argc);
    start.terminalOut = isatty(STDOUT_FILENO) != 0;
    start.terminalIn = start.terminalOut && isatty(STDIN_FILENO) != 0;
    return start;
}

const volatile std::sig_atomic_t* InstallInterruptHandler() {
    // Without SA_RESTART, so that a prompt blocked in a read returns.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    return &signalCount;
}

}  // namespace velt::cli
