#include "device/hidraw/HidrawBackend.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "tests/device/hidraw/FakeHidrawIo.h"
#include "tests/device/hidraw/FakeSysfs.h"

namespace velt {
namespace {

using namespace hidraw::testing;
using K = DeviceErrorKind;

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
    std::unique_ptr<HidDevice> Open(unsigned n) { return backend_.Open(tree_.DevPath(n)); }
    FakeSysfs tree_;
    FakeHidrawIo* io_ = new FakeHidrawIo;
    HidrawBackend backend_{tree_.sys(), tree_.dev(), std::unique_ptr<FakeHidrawIo>(io_)};
};

TEST_F(HidrawBackendTest, ListsNodesInNumericOrderWithIdsAndUsbVersion) {
    tree_.Add(10, {.hidId = "0003:00001209:0000B038", .files = {{"bcdDevice", "0123\n"}}});
    tree_.Add(9);
    tree_.Add(3, {.hidId = "0018:00001209:00002442"});               // I2C, below a USB device
    tree_.Add(2, {.files = {{"uevent", "DEVTYPE=i2c_adapter\n"}}});  // claims USB, like uhid
    tree_.Add(1, {.hidId = "0003:00001209"});                        // cut short: matches nothing
    std::vector<std::tuple<std::string, int, int, int>> listed;
    for (const HidInterfaceInfo& i : backend_.ListInterfaces()) {
        listed.emplace_back(i.path, i.vendorId, i.productId, i.version);
    }
    EXPECT_EQ(listed, (decltype(listed){{tree_.DevPath(1), 0, 0, 0},
                                        {tree_.DevPath(2), 0x1209, 0x2442, 0},
                                        {tree_.DevPath(3), 0x1209, 0x2442, 0},
                                        {tree_.DevPath(9), 0x1209, 0x2442, 0x0110},
                                        {tree_.DevPath(10), 0x1209, 0xB038, 0x0123}}));
}

TEST_F(HidrawBackendTest, OpenFailuresAreMappedAndNothingStaysOpen) {
    const auto open = [&](int openErrno, int lockErrno) {
        io_->openErrno = openErrno;
        io_->lockErrno = lockErrno;
        return Thrown([&] { Open(0); });
    };
    EXPECT_EQ(open(EACCES, 0), std::pair(K::PermissionDenied, EACCES));
    EXPECT_EQ(open(ENODEV, 0), std::pair(K::Disconnected, ENODEV));
    EXPECT_EQ(open(EIO, 0), std::pair(K::Io, EIO));
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
    EXPECT_EQ(io_->featureReports, decltype(io_->featureReports){report});
    report.resize(1 << 14);  // the length travels in the ioctl number's 14-bit size field
    EXPECT_EQ(send(0, 0), std::pair(K::NotSupported, EINVAL));
}

TEST_F(HidrawBackendTest, StringsComeFromTheUsbDeviceWhileTheNodeReachesIt) {
    tree_.Add(0, {.files = {{"product", "V\xFF\n"}}});
    const auto device = Open(0);
    EXPECT_EQ(device->GetString(HidString::Product), "V\uFFFD");  // through ClampIdentityText
    const auto get = [&](HidString which) { return Thrown([&] { device->GetString(which); }); };
    EXPECT_EQ(get(HidString::SerialNumber), std::pair(K::NotSupported, ENOENT));
    io_->failures = {{HIDIOCGRAWINFO, ENODEV}};  // unplugged; sysfs may lag behind
    EXPECT_EQ(get(HidString::Product), std::pair(K::Disconnected, ENODEV));
}

TEST_F(HidrawBackendTest, TheRealSystemCallsOnPlainFilesLockAndKeepTheirErrno) {
    tree_.Add(0);
    HidrawBackend real(tree_.sys(), tree_.dev());
    const auto device = real.Open(tree_.DevPath(0));
    EXPECT_EQ(Thrown([&] { real.Open(tree_.DevPath(0)); }), std::pair(K::Busy, EWOULDBLOCK));
    EXPECT_EQ(Thrown([&] { device->FeatureReportLength(); }), std::pair(K::NotSupported, ENOTTY));
    EXPECT_EQ(Thrown([&] { real.Open(tree_.DevPath(7)); }), std::pair(K::Disconnected, ENOENT));
}

}  // namespace
}  // namespace velt
