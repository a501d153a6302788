#include "tools/velt-usb-gadget/Gadget.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/usb/functionfs.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tools/velt-usb-gadget/Sysfs.h"

namespace velt::vm {

namespace {

constexpr const char* kGadgetRoot = "/sys/kernel/config/usb_gadget/";

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xff));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xff));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xffff);
    Put16(out, value >> 16);
}

// Interface, HID class descriptor and an interrupt IN endpoint: usbhid refuses an
// interface without one, even though the device never sends input reports.
void PutInterface(std::vector<std::uint8_t>& out, std::size_t reportDescriptorLength,
                  std::uint8_t interval) {
    const std::uint8_t interface[] = {9, 0x04, 0, 0, 1, 0x03, 0, 0, 0};
    out.insert(out.end(), std::begin(interface), std::end(interface));
    const std::uint8_t hid[] = {9, 0x21, 0x11, 0x01, 0, 1, 0x22};
    out.insert(out.end(), std::begin(hid), std::end(hid));
    Put16(out, static_cast<unsigned>(reportDescriptorLength));
    const std::uint8_t endpoint[] = {7, 0x05, 0x81, 0x03};
    out.insert(out.end(), std::begin(endpoint), std::end(endpoint));
    Put16(out, 64);
    out.push_back(interval);
}

bool WriteAll(int fd, const std::vector<std::uint8_t>& data, const char* what, std::string& error) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written != static_cast<ssize_t>(data.size())) {
        error = std::string("writing the FunctionFS ") + what + ": " +
                (written < 0 ? std::strerror(errno) : "short write");
        return false;
    }
    return true;
}

}  // namespace

FfsHidFunction::~FfsHidFunction() {
    Close();
}

bool FfsHidFunction::Open(const std::string& instance, const std::string& mountPoint,
                          const std::vector<std::uint8_t>& reportDescriptor, std::string& error) {
    reportDescriptor_ = reportDescriptor;
    mountPoint_ = mountPoint;
    if (!MakeDirectory(mountPoint, &error)) {
        return false;
    }
    if (::mount(instance.c_str(), mountPoint.c_str(), "functionfs", 0, nullptr) != 0) {
        error = "mount functionfs " + instance + " on " + mountPoint + ": " + std::strerror(errno);
        return false;
    }
    mounted_ = true;

    const std::string ep0Path = mountPoint + "/ep0";
    ep0_ = ::open(ep0Path.c_str(), O_RDWR | O_CLOEXEC);
    if (ep0_ < 0) {
        error = ep0Path + ": " + std::strerror(errno);
        return false;
    }

    std::vector<std::uint8_t> body;
    PutInterface(body, reportDescriptor.size(), 10);  // full speed: 10 ms
    PutInterface(body, reportDescriptor.size(), 4);   // high speed: 2^(4-1) microframes
    std::vector<std::uint8_t> descriptors;
    Put32(descriptors, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    Put32(descriptors, static_cast<std::uint32_t>(20 + body.size()));
    Put32(descriptors, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
    Put32(descriptors, 3);  // full-speed descriptor count
    Put32(descriptors, 3);  // high-speed descriptor count
    descriptors.insert(descriptors.end(), body.begin(), body.end());
    if (!WriteAll(ep0_, descriptors, "descriptors", error)) {
        return false;
    }

    // No interface string: the device strings come from the gadget.
    std::vector<std::uint8_t> strings;
    Put32(strings, FUNCTIONFS_STRINGS_MAGIC);
    Put32(strings, 16);
    Put32(strings, 0);
    Put32(strings, 0);
    return WriteAll(ep0_, strings, "strings", error);
}

void FfsHidFunction::Close() {
    if (ep0_ >= 0) {
        ::close(ep0_);
        ep0_ = -1;
    }
    if (mounted_) {
        // The ep files close asynchronously after a disconnect; a lazy unmount does not
        // have to wait for that.
        if (::umount2(mountPoint_.c_str(), 0) != 0) {
            ::umount2(mountPoint_.c_str(), MNT_DETACH);
        }
        mounted_ = false;
        RemovePath(mountPoint_, true);
    }
}

ConfigfsGadget::~ConfigfsGadget() {
    Destroy();
}

bool ConfigfsGadget::Create(const std::string& name, const DeviceIdentity& identity,
                            std::string& error) {
    name_ = name;
    root_ = kGadgetRoot + name;
    if (!MakeDirectory(root_, &error)) {
        return false;
    }
    created_ = true;
    if (!WriteAttribute(root_ + "/idVendor", Hex16(identity.vendorId), &error) ||
        !WriteAttribute(root_ + "/idProduct", Hex16(identity.productId), &error) ||
        !WriteAttribute(root_ + "/bcdUSB", "0x0200", &error)) {
        return false;
    }
    if (!WriteAttribute(root_ + "/bcdDevice", Hex16(identity.bcdDevice), &error)) {
        // configfs only takes binary-coded decimal here (every nibble 0-9).
        error += " (configfs takes bcdDevice only when every hex digit is 0-9)";
        return false;
    }
    const std::string strings = root_ + "/strings/0x409";
    if (!MakeDirectory(strings, &error) ||
        !WriteAttribute(strings + "/manufacturer", identity.manufacturer, &error) ||
        !WriteAttribute(strings + "/product", identity.product, &error) ||
        !WriteAttribute(strings + "/serialnumber", identity.serial, &error)) {
        return false;
    }
    const std::string config = root_ + "/configs/c.1";
    if (!MakeDirectory(config, &error) || !MakeDirectory(config + "/strings/0x409", &error) ||
        !WriteAttribute(config + "/strings/0x409/configuration", "HID", &error) ||
        !WriteAttribute(config + "/MaxPower", "100", &error)) {
        return false;
    }
    return MakeDirectory(root_ + "/functions/ffs." + name, &error);
}

bool ConfigfsGadget::LinkFunction(std::string& error) {
    const std::string target = root_ + "/functions/ffs." + name_;
    const std::string link = root_ + "/configs/c.1/ffs." + name_;
    if (::symlink(target.c_str(), link.c_str()) != 0 && errno != EEXIST) {
        error = link + ": " + std::strerror(errno);
        return false;
    }
    linked_ = true;
    return true;
}

bool ConfigfsGadget::Bind(const std::string& udc, std::string& error) {
    if (!WriteAttribute(root_ + "/UDC", udc, &error)) {
        return false;
    }
    bound_ = true;
    return true;
}

bool ConfigfsGadget::Unbind(std::string& error) {
    if (!bound_) {
        return true;
    }
    if (!WriteAttribute(root_ + "/UDC", "", &error)) {
        return false;
    }
    bound_ = false;
    return true;
}

bool ConfigfsGadget::SetProductId(std::uint16_t productId, std::string& error) {
    return WriteAttribute(root_ + "/idProduct", Hex16(productId), &error);
}

void ConfigfsGadget::Destroy() {
    if (!created_) {
        return;
    }
    std::string ignored;
    Unbind(ignored);
    if (linked_) {
        RemovePath(root_ + "/configs/c.1/ffs." + name_, false);
        linked_ = false;
    }
    RemovePath(root_ + "/configs/c.1/strings/0x409", true);
    RemovePath(root_ + "/configs/c.1", true);
    RemovePath(root_ + "/functions/ffs." + name_, true);
    RemovePath(root_ + "/strings/0x409", true);
    RemovePath(root_, true);
    created_ = false;
}

std::optional<std::string> FirstUdc() {
    DIR* dir = ::opendir("/sys/class/udc");
    if (!dir) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.') {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    if (names.empty()) {
        return std::nullopt;
    }
    return *std::min_element(names.begin(), names.end());
}

}  // namespace velt::vm
