#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/HidDevice.h"
#include "device/windows/HidCalls.h"

namespace velt {

// HID on Windows, over the HID class driver.
//
// SetupAPI names the present interfaces by path only: listing opens each path to read its
// attributes and closes it again; its location is that of the USB device above it in the
// device tree. An open device holds two handles: a synchronous one for
// feature reports, attributes and capabilities, and one opened for overlapped I/O that
// only the identity strings are asked on, the way this device has always been driven on
// Windows (the HID class driver answers those queries on either kind of handle).
class WindowsHidBackend final : public HidBackend {
  public:
    // `api` makes the system calls (null: the real ones). Opened devices share it and may
    // outlive the backend.
    explicit WindowsHidBackend(std::unique_ptr<windows::HidCalls> api = nullptr);

    // Leaves out a path that cannot be opened or whose attributes cannot be read.
    std::vector<HidInterfaceInfo> ListInterfaces() override;
    // When only the overlapped handle cannot be opened, the device still opens; GetString
    // then throws the error of that open.
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

  private:
    std::shared_ptr<windows::HidCalls> api_;
};

}  // namespace velt
