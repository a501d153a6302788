#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "HidPlatform.h"
#include "HidrawIo.h"

namespace velt {

// The HID platform on Linux, over the hidraw driver.
//
// Interfaces are the nodes <sysfs>/class/hidraw/hidrawN in ascending N, opened as
// <dev>/hidrawN. Handles are file descriptors. The synchronous handle also takes an
// exclusive, non-blocking flock() on the node, so that two running copies of the tool
// cannot interleave records on one device; the overlapped handle is only a second
// descriptor.
//
// What the hidraw ioctls do not tell (version number, identity strings) comes from the
// USB device directory in sysfs, which is <sysfs>/class/hidraw/hidrawN/device/../..
// with `device` resolved: the HID device's parent is the USB interface, its grandparent
// the USB device. It counts only when its uevent says DEVTYPE=usb_device.
class HidrawPlatform final : public HidPlatform {
  public:
    // `sysfsRoot` and `devRoot` stand for /sys and /dev (tests pass fake trees); `io`
    // makes the system calls on device nodes (null: the real ones).
    explicit HidrawPlatform(std::string sysfsRoot = "/sys", std::string devRoot = "/dev",
                            std::unique_ptr<hidraw::HidrawIo> io = nullptr);
    // Closes the handles still open.
    ~HidrawPlatform() override;

    HidrawPlatform(const HidrawPlatform&) = delete;
    HidrawPlatform& operator=(const HidrawPlatform&) = delete;

    std::unique_ptr<HidInterfaceList> ListInterfaces() override;

    HidHandle Open(const std::string& path, bool overlapped) override;
    OpenError LastOpenError() const override { return lastOpenError_; }
    // Reads the product ID from HID_ID in the HID device's uevent, without opening it.
    bool PeekProductId(const std::string& path, std::uint16_t& productId) override;

    // Only handles this platform opened are closed; any other handle gives false.
    bool Close(HidHandle handle) override;

    bool GetAttributes(HidHandle handle, HiddAttributes& attributes) override;
    bool GetCaps(HidHandle handle, HidpCaps& caps) override;
    // Reads the USB device's manufacturer, product or serial attribute. False when the
    // device is gone (the handle's ioctl fails), is not a USB device, has no such
    // string, or when byteLength < 2 (no room for the terminator).
    bool GetString(HidHandle handle, HidString which, std::uint8_t* buffer,
                   std::size_t byteLength) override;
    bool SetFeature(HidHandle handle, const std::uint8_t* report, std::size_t length) override;

    void Sleep(std::uint32_t milliseconds) override;

    // The OpenError for an errno value of a failed open.
    static OpenError OpenErrorFromErrno(int error);

  private:
    struct RawInfo {
        std::uint32_t bustype = 0;
        std::uint16_t vendor = 0;
        std::uint16_t product = 0;
    };

    // The descriptor of an open handle and its node's name ("hidrawN"; empty when the
    // opened path did not name a hidraw node), or nullopt when this platform did not
    // open it.
    std::optional<std::pair<int, std::string>> Lookup(HidHandle handle) const;
    std::optional<RawInfo> QueryRawInfo(int fd);
    // The USB device directory of node `name`, or nullopt when there is none.
    std::optional<std::filesystem::path> UsbDeviceDirectory(const std::string& name) const;
    std::filesystem::path ClassDirectory() const;

    std::string sysfsRoot_;
    std::string devRoot_;
    std::unique_ptr<hidraw::HidrawIo> io_;
    OpenError lastOpenError_ = OpenError::None;
    std::map<int, std::string> openNodes_;  // fd -> hidrawN
};

}  // namespace velt
