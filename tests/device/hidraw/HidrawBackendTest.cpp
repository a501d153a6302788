#include "device/hidraw/HidrawBackend.h"

#include <gtest/gtest.h>
#include <linux/hidraw.h>
#include <linux/input.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <tuple>

#include "tests/support/TempDir.h"

namespace velt {
namespace {

namespace fs = std::filesystem;
using K = DeviceErrorKind;

// The hidraw driver as the backend sees it, with one node behind every path.
struct FakeIo final : hidraw::HidrawIo {
    int Open(const std::string&) override { return openErrno != 0 ? -openErrno : ++openCount; }
    int LockExclusive(int) override { return -lockErrno; }
    int Close(int) override { return --openCount < 0 ? -EBADF : 0; }
    int Ioctl(int, unsigned long request, void* arg) override {
        if (failures[request] != 0) {
            return -failures[request];
        } else if (request == HIDIOCGRAWINFO) {
            static_cast<hidraw_devinfo*>(arg)->bustype = BUS_USB;
        } else if (request == HIDIOCGRDESCSIZE) {
            *static_cast<int*>(arg) = static_cast<int>(descriptor.size());
        } else if (request == HIDIOCGRDESC) {
            auto* out = static_cast<hidraw_report_descriptor*>(arg);
            if (out->size > HID_MAX_DESCRIPTOR_SIZE - 1) {
                return -EINVAL;  // as the kernel does
            }
            std::copy_n(descriptor.begin(), std::min<std::size_t>(out->size, descriptor.size()),
                        out->value);
        } else if (request == HIDIOCSFEATURE(_IOC_SIZE(request))) {
            const auto* bytes = static_cast<const std::uint8_t*>(arg);
            sent.emplace_back(bytes, bytes + _IOC_SIZE(request));
        } else {
            return -ENOTTY;
        }
        return 0;
    }

    int openErrno = 0, lockErrno = 0;  // non-zero: open() or flock() fails with it
    int openCount = 0;                 // descriptors open
    std::vector<std::uint8_t> descriptor = {0x75, 0x08, 0x95, 0x28, 0xB1, 0x02};  // 40 + 1 bytes
    std::map<unsigned long, int> failures;        // ioctl request -> errno it fails with (0: none)
    std::vector<std::vector<std::uint8_t>> sent;  // by HIDIOCSFEATURE
};

// The kind and errno of what `call` throws, or nullopt when it returns.
template <typename Call>
std::optional<std::pair<K, int>> Thrown(Call&& call) try {
    call();
    return std::nullopt;
} catch (const DeviceError& error) {
    return std::pair{error.kind(), error.systemCode()};
}

class HidrawBackendTest : public ::testing::Test {
  protected:
    std::string Dev(unsigned n) const { return dir_.str() + "/dev/hidraw" + std::to_string(n); }
    std::unique_ptr<HidDevice> Open(unsigned n) { return backend_.Open(Dev(n)); }

    // Links node n like the kernel: the class entry into /sys/devices, hidrawN/device to the
    // HID device, two levels below the USB device; `files` are the USB device's.
    void Add(unsigned n, std::map<fs::path, std::string> files = {},
             const std::string& hidId = "0003:00001209:00002442") {
        const fs::path usb = dir_.path() / "sys/devices/usb1" / ("1-" + std::to_string(n));
        const fs::path hid = usb / ("1-1:1.0/0003:1209:2442." + std::to_string(n));
        const fs::path node = hid / "hidraw" / fs::path(Dev(n)).filename();
        files.insert({{"uevent", "DEVTYPE=usb_device\n"}, {"bcdDevice", "0110\n"}});
        files[fs::relative(hid, usb) / "uevent"] = "DRIVER=hid-generic\nHID_ID=" + hidId + "\n";
        files[fs::relative(Dev(n), usb)] = "";  // the device node
        for (const auto& [name, text] : files) {
            fs::create_directories((usb / name).parent_path());
            std::ofstream(usb / name) << text;
        }
        fs::create_directories(node);
        fs::create_directories(dir_.path() / "sys/class/hidraw");
        fs::create_directory_symlink(hid, node / "device");
        fs::create_directory_symlink(node, dir_.path() / "sys/class/hidraw" / node.filename());
    }

    test::TempDir dir_;
    FakeIo* io_ = new FakeIo;
    HidrawBackend backend_{dir_.str() + "/sys", dir_.str() + "/dev", std::unique_ptr<FakeIo>(io_)};
};

TEST_F(HidrawBackendTest, ListsNodesInNumericOrderWithIdsUsbVersionAndLocation) {
    Add(10, {{"bcdDevice", "0123\n"}}, "0003:00001209:0000B038");
    Add(9);
    Add(3, {}, "0018:00001209:00002442");           // I2C, below a USB device
    Add(2, {{"uevent", "DEVTYPE=i2c_adapter\n"}});  // claims USB, like uhid
    Add(1, {}, "0003:00001209");                    // cut short: matches nothing
    std::vector<std::tuple<std::string, int, int, int, std::string>> listed;
    for (const HidInterfaceInfo& i : backend_.ListInterfaces()) {
        listed.emplace_back(i.path, i.vendorId, i.productId, i.version, i.location);
    }
    EXPECT_EQ(listed, (decltype(listed){{Dev(1), 0, 0, 0, ""},
                                        {Dev(2), 0x1209, 0x2442, 0, ""},
                                        {Dev(3), 0x1209, 0x2442, 0, ""},
                                        {Dev(9), 0x1209, 0x2442, 0x0110, "1-9"},
                                        {Dev(10), 0x1209, 0xB038, 0x0123, "1-10"}}));
}

TEST_F(HidrawBackendTest, OpenFailuresAreMappedAndNothingStaysOpen) {
    const auto open = [&](int openErrno, int lockErrno) {
        io_->openErrno = openErrno;
        io_->lockErrno = lockErrno;
        return Thrown([&] { Open(0); });
    };
    EXPECT_EQ(open(EACCES, 0), std::pair(K::PermissionDenied, EACCES));
    EXPECT_EQ(open(0, EWOULDBLOCK), std::pair(K::Busy, EWOULDBLOCK));  // another copy has it
    EXPECT_EQ(open(0, 0), std::nullopt);
    EXPECT_EQ(io_->openCount, 0);  // the failed lock's descriptor and the device's are closed
}

TEST_F(HidrawBackendTest, SendTellsARefusalFromADeviceThatLeftTheBus) {
    io_->descriptor.resize(HID_MAX_DESCRIPTOR_SIZE);  // the kernel copies all but one byte
    const auto device = Open(0);
    std::vector<std::uint8_t> report(device->FeatureReportLength(), 0x5A);
    const auto send = [&](int sendErrno, int rawInfoErrno) {  // of the HIDIOCGRAWINFO after it
        io_->failures = {{HIDIOCSFEATURE(41), sendErrno}, {HIDIOCGRAWINFO, rawInfoErrno}};
        return Thrown([&] { device->SendFeatureReport(report); });
    };
    EXPECT_EQ(send(0, 0), std::nullopt);
    EXPECT_EQ(send(EPIPE, ENODEV), std::pair(K::Refused, EPIPE));  // the device answered
    EXPECT_EQ(send(ESHUTDOWN, 0), std::pair(K::Disconnected, ESHUTDOWN));
    EXPECT_EQ(send(EPROTO, ENODEV), std::pair(K::Disconnected, EPROTO));
    EXPECT_EQ(send(ETIMEDOUT, 0), std::pair(K::Io, ETIMEDOUT));
    EXPECT_EQ(send(EIO, EIO), std::pair(K::Io, EIO));
    EXPECT_EQ(io_->sent, decltype(io_->sent){report});
    report.resize(1 << 14);  // the length travels in the ioctl number's 14-bit size field
    EXPECT_EQ(send(0, 0), std::pair(K::NotSupported, EINVAL));
}

TEST_F(HidrawBackendTest, StringsComeFromTheUsbDeviceWhileTheNodeReachesIt) {
    Add(0, {{"product", "V\xFF\n"}});
    const auto device = Open(0);
    EXPECT_EQ(device->GetString(HidString::Product), "V\uFFFD");  // through ClampIdentityText
    const auto get = [&](HidString which) { return Thrown([&] { device->GetString(which); }); };
    EXPECT_EQ(get(HidString::SerialNumber), std::pair(K::NotSupported, ENOENT));
    io_->failures = {{HIDIOCGRAWINFO, ENODEV}};  // unplugged; sysfs may lag behind
    EXPECT_EQ(get(HidString::Product), std::pair(K::Disconnected, ENODEV));
}

TEST_F(HidrawBackendTest, TheRealSystemCallsOnPlainFilesLockAndKeepTheirErrno) {
    Add(0);
    HidrawBackend real(dir_.str() + "/sys", dir_.str() + "/dev");
    const auto device = real.Open(Dev(0));
    EXPECT_EQ(Thrown([&] { real.Open(Dev(0)); }), std::pair(K::Busy, EWOULDBLOCK));
    EXPECT_EQ(Thrown([&] { device->FeatureReportLength(); }), std::pair(K::NotSupported, ENOTTY));
    EXPECT_EQ(Thrown([&] { real.Open(Dev(7)); }), std::pair(K::Disconnected, ENOENT));
}

}  // namespace
}  // namespace velt
