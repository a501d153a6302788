#include "device/simulated/BusMonitor.h"

#include <algorithm>

namespace velt::sim {

namespace {
constexpr std::uint64_t kStepMs = 100;
}

BusMonitor::BusMonitor(SimulatedBus& bus, Clock& clock)
    : bus_(bus), clock_(clock), seen_(bus.changes()) {}

bool BusMonitor::WaitForChange(std::uint32_t timeoutMs) {
    const std::uint64_t deadline = clock_.NowMs() + timeoutMs;
    for (;;) {
        if (const std::uint64_t changes = bus_.changes(); changes != seen_) {
            seen_ = changes;
            return true;
        }
        const std::uint64_t now = clock_.NowMs();
        if (now >= deadline) {
            return false;
        }
        clock_.SleepMs(static_cast<std::uint32_t>(std::min(kStepMs, deadline - now)));
    }
}

}  // namespace velt::sim
