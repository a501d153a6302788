#pragma once

#include <cstdint>

namespace velt {

// Tells when devices may have come or gone, so that watching for devices costs nothing
// while nothing happens.
class DeviceMonitor {
  public:
    virtual ~DeviceMonitor() = default;
    // Blocks until devices may have been plugged in or removed (true) or `timeoutMs`
    // passed (false). A signal may end the wait early (false).
    virtual bool WaitForChange(std::uint32_t timeoutMs) = 0;
};

}  // namespace velt
