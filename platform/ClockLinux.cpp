#include <sys/prctl.h>

#include <chrono>
#include <thread>

#include "platform/Clock.h"

namespace velt {

void SteadyClock::SleepMs(std::uint32_t milliseconds) {
    // The kernel lets a sleeper oversleep by its timer slack, 50 us unless asked, and the
    // pauses between records add up: 2,000 of them would be 0.1 s late. Asked once a thread.
    thread_local const bool tight = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)tight;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace velt
