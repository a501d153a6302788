#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/HidDevice.h"
#include "device/hidraw/HidrawIo.h"

namespace velt {

// HID on Linux, over the hidraw driver.
//
// Interfaces are the nodes <sysfs>/class/hidraw/hidrawN in ascending N, opened as
// <dev>/hidrawN with one descriptor that also holds an exclusive, non-blocking flock(), so
// that two running copies of the tool cannot interleave records on one device.
//
// What the hidraw ioctls do not tell (release number, identity strings) comes from the
// USB device directory in sysfs: hidrawN/device is the HID device, its parent the USB
// interface, its grandparent the USB device, which counts only when its uevent says
// DEVTYPE=usb_device. That directory's name (1-1.3) is the interface's location.
class HidrawBackend final : public HidBackend {
  public:
    // `sysfsRoot` and `devRoot` stand for /sys and /dev (tests pass fake trees); `io`
    // makes the system calls on device nodes (null: the real ones). Opened devices share
    // `io` and may outlive the backend.
    explicit HidrawBackend(std::string sysfsRoot = "/sys", std::string devRoot = "/dev",
                           std::unique_ptr<hidraw::HidrawIo> io = nullptr);

    // Reads only sysfs. A node whose uevent cannot be read or parsed (it may be leaving
    // right now) is still listed, with ids and version 0, which match no device.
    std::vector<HidInterfaceInfo> ListInterfaces() override;
    // GetString throws NotSupported when the device is not on USB or lacks the string.
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

  private:
    std::string sysfsRoot_;
    std::string devRoot_;
    std::shared_ptr<hidraw::HidrawIo> io_;
};

}  // namespace velt
