#pragma once

#include <cstdint>

#include "device/DeviceMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "platform/Clock.h"

namespace velt::sim {

// The simulated bus's device notifications: looks at the bus every 100 ms of the clock at
// most, so that a watch on a virtual clock sleeps as a real one would.
class BusMonitor final : public DeviceMonitor {
  public:
    BusMonitor(SimulatedBus& bus, Clock& clock);
    bool WaitForChange(std::uint32_t timeoutMs) override;

  private:
    SimulatedBus& bus_;
    Clock& clock_;
    std::uint64_t seen_;  // bus.changes() when last told
};

}  // namespace velt::sim
