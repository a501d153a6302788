#include "device/Clock.h"

#include <chrono>

namespace velt {

namespace {
std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

SteadyClock::SteadyClock() : startNs_(SteadyNs()) {}

std::uint64_t SteadyClock::NowMs() const {
    return static_cast<std::uint64_t>((SteadyNs() - startNs_) / 1'000'000);
}

}  // namespace velt
