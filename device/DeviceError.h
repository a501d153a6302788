#pragma once

#include <stdexcept>
#include <string>

namespace velt {

// What went wrong at the device, whatever the platform.
enum class DeviceErrorKind {
    PermissionDenied,  // this user may not open the device
    Busy,              // another program holds it
    Disconnected,      // it is not (or no longer) on the bus
    Refused,           // it is there and said no
    Io,                // any other failure of the system call
    NotSupported,      // the device or platform cannot do this
};

// The one error type of the device layer. Each backend maps its system's error codes to
// a kind in one place; `systemCode` keeps the original (errno, GetLastError()).
class DeviceError : public std::runtime_error {
  public:
    DeviceError(DeviceErrorKind kind, int systemCode, const std::string& detail)
        : std::runtime_error(detail), kind_(kind), systemCode_(systemCode) {}

    DeviceErrorKind kind() const { return kind_; }
    int systemCode() const { return systemCode_; }
    // The system's words, with what was being done ("open /dev/hidraw3: Permission denied").
    std::string detail() const { return what(); }

  private:
    DeviceErrorKind kind_;
    int systemCode_;
};

}  // namespace velt
