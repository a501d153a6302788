#pragma once

// Fake /sys and /dev trees in a temporary directory, laid out like the kernel's: the
// class entry /sys/class/hidraw/hidrawN is a symlink into /sys/devices, and the node's
// `device` is a symlink to its HID device, whose parent is the USB interface and whose
// grandparent is the USB device.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace velt::hidraw::testing {

namespace fs = std::filesystem;

inline void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A USB device with one HID interface. Strings are UTF-8, as the device reports them;
// the attribute files get the kernel's newline.
struct FakeUsbDevice {
    std::string port = "1-1";  // USB device directory name
    std::uint16_t productId = 0x2442;
    std::optional<std::string> bcdDevice = "0110";
    std::optional<std::string> manufacturer = "Velt Instruments";
    std::optional<std::string> product = "Velt-USB";
    std::optional<std::string> serial = "VU-000123";
};

class FakeSysfs {
  public:
    FakeSysfs() {
        std::string pattern = (fs::temp_directory_path() / "hidraw-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        root_ = pattern;
        fs::create_directories(sys() / "class" / "hidraw");
    }
    ~FakeSysfs() {
        std::error_code error;
        fs::remove_all(root_, error);
    }

    fs::path sys() const { return root_ / "sys"; }
    fs::path dev() const { return root_ / "dev"; }
    std::string devPath(unsigned n) const { return dev() / ("hidraw" + std::to_string(n)); }

    // Adds hidrawN on a USB device; returns the USB device directory.
    fs::path AddUsb(unsigned n, const FakeUsbDevice& device = {}) {
        const fs::path usb = sys() / "devices/pci0000:00/0000:00:14.0/usb1" / device.port;
        WriteFile(usb / "uevent", "MAJOR=189\nMINOR=1\nDEVTYPE=usb_device\nDRIVER=usb\n");
        for (const auto& [name, text] : {std::pair{"bcdDevice", device.bcdDevice},
                                         {"manufacturer", device.manufacturer},
                                         {"product", device.product},
                                         {"serial", device.serial}}) {
            if (text) {
                WriteFile(usb / name, *text + "\n");
            }
        }
        AddHid(n, usb / (device.port + ":1.0"), device.productId);
        return usb;
    }

    // Adds hidrawN on an I2C device: what lies two levels above has the files a USB device
    // has, but is an I2C adapter.
    void AddI2c(unsigned n) {
        const fs::path adapter = sys() / "devices/platform/AMDI0010:03/i2c-1";
        WriteFile(adapter / "uevent", "DEVTYPE=i2c_adapter\n");
        WriteFile(adapter / "manufacturer", "Not a USB device\n");
        WriteFile(adapter / "bcdDevice", "0110\n");
        AddHid(n, adapter / "i2c-ELAN0001:00", 0x2442);
    }

  private:
    void AddHid(unsigned n, const fs::path& parent, std::uint16_t productId) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", productId);
        const std::string hidName = "0003:1209:" + std::string(hex) + "." + std::to_string(n);
        const fs::path nodeDir = parent / hidName / "hidraw" / ("hidraw" + std::to_string(n));
        WriteFile(parent / hidName / "uevent", "DRIVER=hid-generic\nHID_ID=0003:00001209:0000" +
                                                   std::string(hex) + "\nHID_NAME=Velt-USB\n");
        fs::create_directories(nodeDir);
        fs::create_directory_symlink("../../../" + hidName, nodeDir / "device");
        fs::create_directory_symlink("../.." / fs::relative(nodeDir, sys()),
                                     sys() / "class/hidraw" / nodeDir.filename());
        WriteFile(devPath(n), "");
    }

    fs::path root_;
};

}  // namespace velt::hidraw::testing
