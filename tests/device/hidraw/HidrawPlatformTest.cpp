#include "HidrawPlatform.h"

#include <gtest/gtest.h>

#include <linux/hidraw.h>
#include <linux/input.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "FakeHidrawIo.h"
#include "FakeSysfs.h"

namespace velt {
namespace {

using hidraw::testing::FakeHidrawIo;
using hidraw::testing::FakeNode;
using hidraw::testing::FakeSysfs;
using hidraw::testing::FakeUsbDevice;
using hidraw::testing::WriteFile;

// Vendor-defined: a 40-byte feature report, a 1-byte input report, no report IDs.
const std::vector<std::uint8_t> kVeltDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1,
                                                   0x01, 0x75, 0x08, 0x95, 0x28, 0xB1,
                                                   0x02, 0x95, 0x01, 0x81, 0x02, 0xC0};

class HidrawPlatformTest : public ::testing::Test {
  protected:
    HidrawPlatformTest() {
        auto io = std::make_unique<FakeHidrawIo>();
        io_ = io.get();
        platform_ = std::make_unique<HidrawPlatform>(tree_.sys(), tree_.dev(), std::move(io));
    }

    // hidrawN on a USB device, in sysfs and in the fake kernel; returns the USB device
    // directory.
    std::filesystem::path AddUsb(unsigned n, const FakeUsbDevice& device = {}) {
        Node(n).product = static_cast<std::int16_t>(device.productId);
        Node(n).descriptor = kVeltDescriptor;
        return tree_.AddUsb(n, device);
    }
    FakeNode& Node(unsigned n) { return io_->node(tree_.devPath(n)); }
    HidHandle Open(unsigned n, bool overlapped = false) {
        return platform_->Open(tree_.devPath(n), overlapped);
    }

    // The string read into a buffer of byteLength bytes, or nullopt when the query fails.
    std::optional<std::u16string> String(HidHandle handle, HidString which,
                                         std::size_t byteLength = 256) {
        std::vector<std::uint8_t> buffer(byteLength + 4, 0xAA);
        if (!platform_->GetString(handle, which, buffer.data(), byteLength)) {
            return std::nullopt;
        }
        EXPECT_EQ(std::count(buffer.begin() + byteLength, buffer.end(), 0xAA), 4)
            << "written past byteLength";
        std::u16string text;
        std::size_t i = 0;
        for (; i + 1 < byteLength && (buffer[i] | buffer[i + 1]) != 0; i += 2) {
            text.push_back(static_cast<char16_t>(buffer[i] | buffer[i + 1] << 8));
        }
        EXPECT_LT(i + 1, byteLength) << "no terminator";
        return text;
    }

    FakeSysfs tree_;
    FakeHidrawIo* io_ = nullptr;
    std::unique_ptr<HidrawPlatform> platform_;
};

TEST_F(HidrawPlatformTest, ListsNodesInNumericOrderAsASnapshot) {
    AddUsb(10, {.port = "1-3"});
    AddUsb(2, {.port = "1-2"});
    tree_.AddI2c(1);
    for (const char* stray : {"hidraw", "hidrawX", "hidraw3a", "uhid"}) {
        std::filesystem::create_directories(tree_.sys() / "class/hidraw" / stray);
    }
    auto list = platform_->ListInterfaces();
    std::filesystem::remove(tree_.sys() / "class/hidraw/hidraw2");  // unplugged since
    std::vector<std::string> paths;
    std::string path;
    for (std::uint32_t i = 0; list->Interface(i, path); ++i) {
        paths.push_back(path);
    }
    EXPECT_EQ(paths, (std::vector{tree_.devPath(1), tree_.devPath(2), tree_.devPath(10)}));

    // Without the class directory (hidraw not loaded) there are none.
    HidrawPlatform noHidraw("/nonexistent/sys", "/nonexistent/dev");
    EXPECT_FALSE(noHidraw.ListInterfaces()->Interface(0, path));
}

TEST_F(HidrawPlatformTest, OnlyTheSynchronousHandleIsLockedAndOnlyOwnHandlesAreClosed) {
    AddUsb(0);
    const HidHandle first = Open(0);  // descriptor 100
    ASSERT_NE(first, kInvalidHandle);
    EXPECT_EQ(Node(0).lockHolder, first);
    const HidHandle query = Open(0, true);  // 101
    EXPECT_NE(query, kInvalidHandle);
    EXPECT_EQ(Open(0), kInvalidHandle);  // 102: another copy of the tool holds the device
    EXPECT_EQ(platform_->LastOpenError(), OpenError::Busy);
    EXPECT_TRUE(platform_->Close(first));
    for (const HidHandle notOpen : {kInvalidHandle, HidHandle{0}, first + query, first}) {
        EXPECT_FALSE(platform_->Close(notOpen)) << notOpen;
    }
    Node(0).lockErrno = ENOLCK;  // 103: any flock failure counts as busy
    EXPECT_EQ(Open(0), kInvalidHandle);
    EXPECT_EQ(platform_->LastOpenError(), OpenError::Busy);
    Node(0).lockErrno = 0;
    EXPECT_NE(Open(0), kInvalidHandle);  // 104
    EXPECT_EQ(platform_->LastOpenError(), OpenError::None);
    const auto closed = io_->closed;
    platform_.reset();  // closes what is still open
    EXPECT_EQ(*closed, (std::vector<int>{102, 100, 103, 101, 104}));
}

TEST_F(HidrawPlatformTest, OpenErrorsAreMapped) {
    AddUsb(0);
    for (const auto& [error, expected] : {std::pair{EACCES, OpenError::PermissionDenied},
                                          {EPERM, OpenError::PermissionDenied},
                                          {ENOENT, OpenError::NotFound},
                                          {ENODEV, OpenError::NotFound},
                                          {ENXIO, OpenError::NotFound},
                                          {EBUSY, OpenError::Busy},
                                          {EWOULDBLOCK, OpenError::Busy},
                                          {EIO, OpenError::Other}}) {
        Node(0).openErrno = error;
        EXPECT_EQ(Open(0, true), kInvalidHandle);
        EXPECT_EQ(platform_->LastOpenError(), expected) << std::strerror(error);
    }
}

TEST_F(HidrawPlatformTest, PeeksProductIdFromUeventWithoutOpening) {
    tree_.AddUsb(0, {.productId = 0xB038});  // not in the fake kernel: it cannot be opened
    std::uint16_t productId = 0;
    ASSERT_TRUE(platform_->PeekProductId(tree_.devPath(0), productId));
    EXPECT_EQ(productId, 0xB038);

    productId = 0x1234;
    const auto uevent = tree_.sys() / "class/hidraw/hidraw0/device/uevent";
    for (const char* text :
         {"DRIVER=hid-generic\n", "HID_ID=0003:00001209\n", "HID_ID=0003:00001209:\n",
          "HID_ID=0003:00001209:0000XYZ0\n", "HID_ID=0003:00001209:1000000000\n"}) {
        WriteFile(uevent, text);
        EXPECT_FALSE(platform_->PeekProductId(tree_.devPath(0), productId)) << text;
    }
    EXPECT_EQ(productId, 0x1234);
    WriteFile(uevent, "DRIVER=hid-generic\nHID_ID=0003:00001209:0001b038");
    ASSERT_TRUE(platform_->PeekProductId(tree_.devPath(0), productId));
    EXPECT_EQ(productId, 0xB038);  // low 16 bits, lower-case hex, no final newline
}

TEST_F(HidrawPlatformTest, AttributesAndStringsOfUsbDevicesUntilUnplugged) {
    AddUsb(3, {.productId = 0xB038,
               .manufacturer = "M\xC3\xBCller\n",  // only the kernel's newline goes
               .product = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB1\xD0\xBE\xD1\x80",
               .serial = "VU-\xF0\x9F\x94\xA7"});
    Node(3).vendor = static_cast<std::int16_t>(0x8086);
    AddUsb(12, {.port = "2-4", .serial = std::nullopt});
    const HidHandle velt = Open(3);
    const HidHandle other = Open(12, true);

    HiddAttributes attributes;
    ASSERT_TRUE(platform_->GetAttributes(velt, attributes));
    // Both arrived as negative 16-bit values.
    EXPECT_EQ(attributes.VendorID, 0x8086);
    EXPECT_EQ(attributes.ProductID, 0xB038);
    EXPECT_EQ(attributes.VersionNumber, 0x0110);
    EXPECT_EQ(String(velt, HidString::Manufacturer), u"M\u00FCller\n");
    EXPECT_EQ(String(velt, HidString::Product), u"\u041F\u0440\u0438\u0431\u043E\u0440");
    const std::u16string serial = {u'V', u'U', u'-', 0xD83D, 0xDD27};
    EXPECT_EQ(String(velt, HidString::SerialNumber), serial);
    // Cut to the buffer, never between the halves of a surrogate pair.
    EXPECT_EQ(String(velt, HidString::SerialNumber, 11), u"VU-");
    EXPECT_FALSE(String(velt, HidString::Product, 1));
    EXPECT_FALSE(platform_->GetString(velt, HidString::Product, nullptr, 16));

    // Each handle reads its own device; what it lacks fails only that query.
    EXPECT_EQ(String(other, HidString::Product), u"Velt-USB");
    EXPECT_FALSE(String(other, HidString::SerialNumber));

    // Unplugged: the sysfs files outlive the device, only the ioctl tells.
    Node(3).failures = {{HIDIOCGRAWINFO, ENODEV}};
    EXPECT_FALSE(platform_->GetAttributes(velt, attributes));
    EXPECT_FALSE(String(velt, HidString::Manufacturer));
    EXPECT_TRUE(String(other, HidString::Manufacturer));
}

TEST_F(HidrawPlatformTest, NoVersionAndNoStringWithoutAUsbDeviceOrItsAttributes) {
    tree_.AddI2c(0);
    Node(0).bustype = BUS_I2C;
    tree_.AddI2c(1);
    Node(1).bustype = BUS_USB;  // as uhid devices may claim
    AddUsb(2);
    Node(2).bustype = BUS_BLUETOOTH;
    AddUsb(3, {.port = "1-3", .bcdDevice = std::nullopt, .manufacturer = std::nullopt});
    AddUsb(4, {.port = "1-4", .bcdDevice = "1x00", .manufacturer = std::nullopt});
    for (const unsigned n : {0u, 1u, 2u, 3u, 4u}) {
        const HidHandle handle = Open(n);
        HiddAttributes attributes;
        attributes.VersionNumber = 0x4242;
        ASSERT_TRUE(platform_->GetAttributes(handle, attributes)) << n;
        EXPECT_EQ(attributes.ProductID, 0x2442) << n;
        EXPECT_EQ(attributes.VersionNumber, 0) << n;
        EXPECT_FALSE(String(handle, HidString::Manufacturer)) << n;
    }
}

TEST_F(HidrawPlatformTest, CapsFromTheReportDescriptorWithinTheKernelLimit) {
    AddUsb(0);
    const HidHandle handle = Open(0);
    HidpCaps caps;
    caps.NumberInputValueCaps = 7;
    ASSERT_TRUE(platform_->GetCaps(handle, caps));
    EXPECT_EQ(caps.FeatureReportByteLength, 41);
    EXPECT_EQ(caps.InputReportByteLength, 2);
    EXPECT_EQ(caps.UsagePage, 0xFF00);
    EXPECT_EQ(caps.Usage, 0x01);
    EXPECT_EQ(caps.NumberInputValueCaps, 0);

    // 4096 bytes, of which the kernel copies at most 4095.
    Node(0).descriptor = {0x75, 0x08, 0x95, 0x10, 0xB1, 0x02};
    Node(0).descriptor.resize(HID_MAX_DESCRIPTOR_SIZE, 0x00);
    ASSERT_TRUE(platform_->GetCaps(handle, caps));
    EXPECT_EQ(caps.FeatureReportByteLength, 17);

    for (const unsigned long request : {HIDIOCGRDESCSIZE, HIDIOCGRDESC}) {
        Node(0).failures = {{request, EIO}};
        EXPECT_FALSE(platform_->GetCaps(handle, caps)) << request;
    }
}

TEST_F(HidrawPlatformTest, SetFeatureSendsTheWholeReport) {
    AddUsb(0);
    FakeNode& node = Node(0);
    const HidHandle handle = Open(0);
    std::vector<std::uint8_t> report(41);
    std::iota(report.begin(), report.end(), 1);
    ASSERT_TRUE(platform_->SetFeature(handle, report.data(), report.size()));
    // The length travels in the ioctl number, whose size field holds 14 bits.
    const std::vector<std::uint8_t> largest((1 << 14) - 1, 0x5A);
    EXPECT_TRUE(platform_->SetFeature(handle, largest.data(), largest.size()));
    EXPECT_EQ(node.featureReports, (std::vector{report, largest}));
    const std::vector<std::uint8_t> huge(1 << 14, 0);
    EXPECT_FALSE(platform_->SetFeature(handle, huge.data(), huge.size()));
    EXPECT_FALSE(platform_->SetFeature(handle, report.data(), 0));
    EXPECT_FALSE(platform_->SetFeature(handle, nullptr, report.size()));
    EXPECT_EQ(node.featureReports.size(), 2u);
    node.failures = {{HIDIOCSFEATURE(41), EPIPE}};  // the device stalled the request
    EXPECT_FALSE(platform_->SetFeature(handle, report.data(), report.size()));
}

TEST_F(HidrawPlatformTest, SleepWaits) {
    const auto start = std::chrono::steady_clock::now();
    platform_->Sleep(20);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

// The real system calls, on plain files standing in for the nodes.
TEST(SystemHidrawIo, LocksAreExclusiveBetweenOpenFilesAndErrorsComeBackNegated) {
    FakeSysfs tree;
    tree.AddUsb(0);
    HidrawPlatform platform(tree.sys(), tree.dev());
    const HidHandle first = platform.Open(tree.devPath(0), false);
    ASSERT_NE(first, kInvalidHandle);
    hidraw::SystemHidrawIo io;
    EXPECT_EQ(io.Open((tree.dev() / "hidraw9").string()), -ENOENT);
    const int fd = io.Open(tree.devPath(0));
    ASSERT_GE(fd, 0);
    EXPECT_EQ(io.LockExclusive(fd), -EWOULDBLOCK);
    EXPECT_TRUE(platform.Close(first));
    EXPECT_EQ(io.LockExclusive(fd), 0);
    hidraw_devinfo info{};
    EXPECT_EQ(io.Ioctl(fd, HIDIOCGRAWINFO, &info), -ENOTTY);
    EXPECT_EQ(io.Close(fd), 0);
    EXPECT_EQ(io.Close(fd), -EBADF);
}

}  // namespace
}  // namespace velt
