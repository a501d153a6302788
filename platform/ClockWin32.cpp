#include <windows.h>
// After windows.h, whose types it uses.
#include <timeapi.h>

#include "platform/Clock.h"

namespace velt {

// Windows wakes sleepers on its timer tick, 15.6 ms by default: a 20 ms pause between two
// records would last about 31 ms. The tick is made 1 ms for the pause only, and a pause
// that ends early is made up, so records go out 20 ms apart, never less.
void SteadyClock::SleepMs(std::uint32_t milliseconds) {
    const std::uint64_t until = NowMs() + milliseconds;
    timeBeginPeriod(1);
    for (std::uint64_t now = NowMs(); now < until; now = NowMs()) {
        Sleep(static_cast<DWORD>(until - now));
    }
    timeEndPeriod(1);
}

}  // namespace velt
