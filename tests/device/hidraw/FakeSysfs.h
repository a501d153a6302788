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
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

inline std::string Hex4(std::uint16_t value, bool upper) {
    char text[8];
    std::snprintf(text, sizeof text, upper ? "%04X" : "%04x", value);
    return text;
}

inline std::string Hex8(std::uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

// A USB device with one HID interface.
struct UsbDeviceSpec {
    std::string port = "1-1";  // USB device directory name
    std::uint16_t vendorId = 0x1209;
    std::uint16_t productId = 0x2442;
    std::optional<std::string> bcdDevice = "0110";  // without the newline
    // As the device reports them (UTF-8); the attribute files get the kernel's newline.
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
        fs::create_directories(dev());
    }

    ~FakeSysfs() {
        std::error_code error;
        fs::remove_all(root_, error);
    }

    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    fs::path sys() const { return root_ / "sys"; }
    fs::path dev() const { return root_ / "dev"; }
    std::string devPath(unsigned n) const {
        return (dev() / ("hidraw" + std::to_string(n))).string();
    }

    // Adds hidrawN on a USB device; returns the USB device directory.
    fs::path AddUsb(unsigned n, const UsbDeviceSpec& spec = {}) {
        const fs::path usbDevice = sys() / "devices/pci0000:00/0000:00:14.0/usb1" / spec.port;
        WriteFile(usbDevice / "uevent",
                  "MAJOR=189\nMINOR=1\nDEVNAME=bus/usb/001/002\nDEVTYPE=usb_device\n"
                  "DRIVER=usb\nPRODUCT=" +
                      Hex4(spec.vendorId, false) + "/" + Hex4(spec.productId, false) +
                      "/110\nTYPE=0/0/0\nBUSNUM=001\nDEVNUM=002\n");
        WriteFile(usbDevice / "idVendor", Hex4(spec.vendorId, false) + "\n");
        WriteFile(usbDevice / "idProduct", Hex4(spec.productId, false) + "\n");
        if (spec.bcdDevice) {
            WriteFile(usbDevice / "bcdDevice", *spec.bcdDevice + "\n");
        }
        if (spec.manufacturer) {
            WriteFile(usbDevice / "manufacturer", *spec.manufacturer + "\n");
        }
        if (spec.product) {
            WriteFile(usbDevice / "product", *spec.product + "\n");
        }
        if (spec.serial) {
            WriteFile(usbDevice / "serial", *spec.serial + "\n");
        }
        const fs::path usbInterface = usbDevice / (spec.port + ":1.0");
        WriteFile(usbInterface / "uevent",
                  "DEVTYPE=usb_interface\nDRIVER=usbhid\nINTERFACE=3/0/0\n");
        AddHidDevice(n, usbInterface, 0x0003, spec.vendorId, spec.productId);
        return usbDevice;
    }

    // Adds hidrawN on an I2C HID device (bus 0x18): not a USB device.
    void AddI2c(unsigned n, std::uint16_t vendorId = 0x04F3, std::uint16_t productId = 0x3140) {
        const fs::path adapter = sys() / "devices/platform/AMDI0010:03/i2c-1";
        WriteFile(adapter / "uevent", "DEVTYPE=i2c_adapter\n");
        const fs::path client = adapter / "i2c-ELAN0001:00";
        WriteFile(client / "uevent", "DRIVER=i2c_hid_acpi\nMODALIAS=acpi:ELAN0001:PNP0C50:\n");
        // Strings an I2C device does not have, placed where a careless lookup would find them.
        WriteFile(adapter / "manufacturer", "Not a USB device\n");
        AddHidDevice(n, client, 0x0018, vendorId, productId);
    }

    // Adds hidrawN on a uhid device that claims bus USB but has no USB device above it.
    void AddUhid(unsigned n, std::uint16_t vendorId = 0x1209, std::uint16_t productId = 0x2442) {
        const fs::path uhid = sys() / "devices/virtual/misc/uhid";
        WriteFile(uhid / "uevent", "MAJOR=10\nMINOR=239\nDEVNAME=uhid\n");
        AddHidDevice(n, uhid, 0x0003, vendorId, productId);
    }

    // Adds a class entry that is not a hidraw node name.
    void AddStrayClassEntry(const std::string& name) {
        fs::create_directories(sys() / "class" / "hidraw" / name);
    }

    // Removes hidrawN from the class directory, as an unplug does.
    void Remove(unsigned n) {
        fs::remove(sys() / "class" / "hidraw" / ("hidraw" + std::to_string(n)));
    }

  private:
    void AddHidDevice(unsigned n, const fs::path& parent, std::uint16_t bus, std::uint16_t vendorId,
                      std::uint16_t productId) {
        const std::string hidName = Hex4(bus, true) + ":" + Hex4(vendorId, true) + ":" +
                                    Hex4(productId, true) + "." +
                                    Hex4(static_cast<std::uint16_t>(n + 1), true);
        const fs::path hidDevice = parent / hidName;
        WriteFile(hidDevice / "uevent",
                  "DRIVER=hid-generic\nHID_ID=" + Hex4(bus, true) + ":" + Hex8(vendorId) + ":" +
                      Hex8(productId) +
                      "\nHID_NAME=Velt Instruments Velt-USB\n"
                      "HID_PHYS=usb-0000:00:14.0-1/input0\nHID_UNIQ=VU-000123\n"
                      "MODALIAS=hid:b" +
                      Hex4(bus, true) + "g0001v" + Hex8(vendorId) + "p" + Hex8(productId) + "\n");
        const std::string node = "hidraw" + std::to_string(n);
        const fs::path nodeDir = hidDevice / "hidraw" / node;
        WriteFile(nodeDir / "uevent",
                  "MAJOR=244\nMINOR=" + std::to_string(n) + "\nDEVNAME=" + node + "\n");
        WriteFile(nodeDir / "dev", "244:" + std::to_string(n) + "\n");
        fs::create_directory_symlink("../../../" + hidName, nodeDir / "device");
        fs::create_directory_symlink(fs::path("../..") / fs::relative(nodeDir, sys()),
                                     sys() / "class" / "hidraw" / node);
        WriteFile(dev() / node, "");
    }

    fs::path root_;
};

}  // namespace velt::hidraw::testing
