#include "line/Interrupts.h"

namespace velt::line {

Interrupts::Interrupts(const volatile std::sig_atomic_t* signalCount)
    : signalCount_(signalCount), baseline_(signalCount != nullptr ? *signalCount : 0) {}

int Interrupts::Count() const {
    const int signalled = signalCount_ != nullptr ? *signalCount_ - baseline_ : 0;
    return pressed_ + signalled;
}

}  // namespace velt::line
