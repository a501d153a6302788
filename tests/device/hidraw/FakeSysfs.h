#pragma once

// /sys and /dev in a temporary directory, linked like the kernel's: the class entry links
// into /sys/devices, hidrawN/device to the HID device, two levels below the USB device.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace velt::hidraw::testing {

namespace fs = std::filesystem;

struct FakeHid {
    std::string hidId = "0003:00001209:00002442";
    std::map<std::string, std::string> files = {};  // the grandparent's, over the defaults in Add
};

class FakeSysfs {
  public:
    ~FakeSysfs() { fs::remove_all(root_); }
    fs::path sys() const { return root_ / "sys"; }
    fs::path dev() const { return root_ / "dev"; }
    std::string DevPath(unsigned n) const { return dev() / ("hidraw" + std::to_string(n)); }

    void Add(unsigned n, FakeHid hid = {}) {
        const std::string hidDevice = "1-1:1.0/0003:1209:2442." + std::to_string(n);
        const fs::path device = sys() / "devices/usb1" / ("1-" + std::to_string(n));
        const fs::path node = device / hidDevice / "hidraw" / fs::path(DevPath(n)).filename();
        hid.files.insert({{"uevent", "DEVTYPE=usb_device\n"}, {"bcdDevice", "0110\n"}});
        hid.files[hidDevice + "/uevent"] = "DRIVER=hid-generic\nHID_ID=" + hid.hidId + "\n";
        hid.files[fs::relative(node, device) / "dev"] = "247:" + std::to_string(n) + "\n";
        hid.files[fs::relative(DevPath(n), device)] = "";  // the device node
        for (const auto& [name, text] : hid.files) {
            fs::create_directories((device / name).parent_path());
            std::ofstream(device / name) << text;
        }
        fs::create_directories(sys() / "class/hidraw");
        fs::create_directory_symlink(device / hidDevice, node / "device");
        fs::create_directory_symlink(node, sys() / "class/hidraw" / node.filename());
    }

  private:
    fs::path root_ = ::mkdtemp((fs::temp_directory_path() / "hidraw-XXXXXX").string().data());
};

}  // namespace velt::hidraw::testing
