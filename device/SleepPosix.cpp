#include <chrono>
#include <thread>

#include "device/Clock.h"

namespace velt {

void SteadyClock::SleepMs(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace velt
