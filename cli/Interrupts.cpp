#include "cli/Interrupts.h"

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

Interrupts::Interrupts(const volatile std::sig_atomic_t* signalCount)
    : signalCount_(signalCount), baseline_(signalCount != nullptr ? *signalCount : 0) {}

int Interrupts::Count() const {
    const int signalled = signalCount_ != nullptr ? *signalCount_ - baseline_ : 0;
    return pressed_ + signalled;
}

const volatile std::sig_atomic_t* InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    return &signalCount;
}

}  // namespace velt::cli
