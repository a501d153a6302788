#include "HidrawPlatform.h"

#include <gtest/gtest.h>

#include <linux/hidraw.h>
#include <linux/input.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FakeHidrawIo.h"
#include "FakeSysfs.h"

namespace velt {
namespace {

using hidraw::testing::FakeHidrawIo;
using hidraw::testing::FakeNode;
using hidraw::testing::FakeSysfs;
using hidraw::testing::UsbDeviceSpec;

// A vendor-defined descriptor with a 40-byte feature report and no report IDs.
const std::vector<std::uint8_t> kVeltDescriptor = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF,
    0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0x95, 0x40,
    0x09, 0x01, 0x91, 0x02, 0x95, 0x28, 0x09, 0x01, 0xB1, 0x02, 0xC0,
};

std::u16string ReadUtf16(const std::uint8_t* buffer, std::size_t byteLength) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < byteLength; i += 2) {
        const char16_t unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
        if (unit == 0) {
            return text;
        }
        text.push_back(unit);
    }
    ADD_FAILURE() << "no terminator";
    return text;
}

class HidrawPlatformTest : public ::testing::Test {
  protected:
    HidrawPlatformTest() {
        auto io = std::make_unique<FakeHidrawIo>();
        io_ = io.get();
        platform_ = std::make_unique<HidrawPlatform>(tree_.sys().string(), tree_.dev().string(),
                                                     std::move(io));
    }

    // hidrawN on a USB device, known to the fake kernel too.
    FakeNode& AddUsb(unsigned n, const UsbDeviceSpec& spec = {}) {
        tree_.AddUsb(n, spec);
        FakeNode& node = io_->node(tree_.devPath(n));
        node.vendor = static_cast<std::int16_t>(spec.vendorId);
        node.product = static_cast<std::int16_t>(spec.productId);
        node.descriptor = kVeltDescriptor;
        return node;
    }

    std::vector<std::string> List() {
        auto list = platform_->ListInterfaces();
        std::vector<std::string> paths;
        std::string path;
        for (std::uint32_t i = 0; list->Interface(i, path); ++i) {
            paths.push_back(path);
        }
        return paths;
    }

    std::optional<std::u16string> String(HidHandle handle, HidString which,
                                         std::size_t byteLength = 256) {
        std::vector<std::uint8_t> buffer(byteLength + 16, 0xAA);
        if (!platform_->GetString(handle, which, buffer.data(), byteLength)) {
            return std::nullopt;
        }
        for (std::size_t i = byteLength; i < buffer.size(); ++i) {
            EXPECT_EQ(buffer[i], 0xAA) << "written past byteLength at " << i;
        }
        return ReadUtf16(buffer.data(), byteLength);
    }

    FakeSysfs tree_;
    FakeHidrawIo* io_ = nullptr;
    std::unique_ptr<HidrawPlatform> platform_;
};

// --- enumeration ---------------------------------------------------------------------

TEST_F(HidrawPlatformTest, ListsInAscendingNumericOrder) {
    AddUsb(10, {.port = "1-3"});
    AddUsb(2, {.port = "1-2"});
    tree_.AddI2c(1);
    tree_.AddStrayClassEntry("hidraw");
    tree_.AddStrayClassEntry("hidrawX");
    tree_.AddStrayClassEntry("hidraw3a");
    tree_.AddStrayClassEntry("uhid");
    EXPECT_EQ(List(),
              (std::vector<std::string>{tree_.devPath(1), tree_.devPath(2), tree_.devPath(10)}));
}

TEST_F(HidrawPlatformTest, ListIsASnapshot) {
    AddUsb(0);
    auto list = platform_->ListInterfaces();
    AddUsb(1, {.port = "1-2"});
    tree_.Remove(0);
    std::string path;
    ASSERT_TRUE(list->Interface(0, path));
    EXPECT_EQ(path, tree_.devPath(0));
    EXPECT_FALSE(list->Interface(1, path));
    EXPECT_EQ(List(), (std::vector<std::string>{tree_.devPath(1)}));
}

TEST(HidrawPlatformNoTree, NoClassDirectoryMeansNoInterfaces) {
    HidrawPlatform platform("/nonexistent/sys", "/nonexistent/dev",
                            std::make_unique<FakeHidrawIo>());
    auto list = platform.ListInterfaces();
    std::string path;
    EXPECT_FALSE(list->Interface(0, path));
}

// --- open and close --------------------------------------------------------------------

TEST_F(HidrawPlatformTest, OpensAndLocksTheSynchronousHandle) {
    FakeNode& node = AddUsb(0);
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    ASSERT_NE(handle, kInvalidHandle);
    EXPECT_EQ(platform_->LastOpenError(), OpenError::None);
    EXPECT_EQ(node.lockHolder, handle);

    const HidHandle query = platform_->Open(tree_.devPath(0), true);
    ASSERT_NE(query, kInvalidHandle);  // the overlapped handle takes no lock
    EXPECT_NE(query, handle);
    EXPECT_EQ(node.lockHolder, handle);

    EXPECT_TRUE(platform_->Close(query));
    EXPECT_TRUE(platform_->Close(handle));
    EXPECT_EQ(node.lockHolder, -1);
    EXPECT_EQ(io_->openCount(), 0u);
}

TEST_F(HidrawPlatformTest, SecondSynchronousOpenIsBusy) {
    AddUsb(0);
    const HidHandle first = platform_->Open(tree_.devPath(0), false);
    ASSERT_NE(first, kInvalidHandle);
    EXPECT_EQ(platform_->Open(tree_.devPath(0), false), kInvalidHandle);
    EXPECT_EQ(platform_->LastOpenError(), OpenError::Busy);
    EXPECT_EQ(io_->openCount(), 1u);  // the refused descriptor was closed
    ASSERT_EQ(io_->closed->size(), 1u);

    // Closing releases the lock.
    EXPECT_TRUE(platform_->Close(first));
    const HidHandle again = platform_->Open(tree_.devPath(0), false);
    EXPECT_NE(again, kInvalidHandle);
    EXPECT_EQ(platform_->LastOpenError(), OpenError::None);
}

TEST_F(HidrawPlatformTest, FlockRefusalFailsTheOpen) {
    FakeNode& node = AddUsb(0);
    node.lockErrno = EWOULDBLOCK;
    EXPECT_EQ(platform_->Open(tree_.devPath(0), false), kInvalidHandle);
    EXPECT_EQ(platform_->LastOpenError(), OpenError::Busy);
    EXPECT_EQ(io_->openCount(), 0u);
    // Any flock failure counts as busy.
    node.lockErrno = ENOLCK;
    EXPECT_EQ(platform_->Open(tree_.devPath(0), false), kInvalidHandle);
    EXPECT_EQ(platform_->LastOpenError(), OpenError::Busy);
    EXPECT_EQ(io_->openCount(), 0u);
    // The overlapped handle does not lock.
    EXPECT_NE(platform_->Open(tree_.devPath(0), true), kInvalidHandle);
    EXPECT_EQ(platform_->LastOpenError(), OpenError::None);
}

TEST_F(HidrawPlatformTest, OpenErrorsAreMapped) {
    FakeNode& node = AddUsb(0);
    const std::pair<int, OpenError> cases[] = {
        {EACCES, OpenError::PermissionDenied},
        {EPERM, OpenError::PermissionDenied},
        {ENOENT, OpenError::NotFound},
        {ENODEV, OpenError::NotFound},
        {ENXIO, OpenError::NotFound},
        {EBUSY, OpenError::Busy},
        {EWOULDBLOCK, OpenError::Busy},
        {EIO, OpenError::Other},
        {EMFILE, OpenError::Other},
    };
    for (const auto& [error, expected] : cases) {
        node.openErrno = error;
        for (const bool overlapped : {false, true}) {
            EXPECT_EQ(platform_->Open(tree_.devPath(0), overlapped), kInvalidHandle);
            EXPECT_EQ(platform_->LastOpenError(), expected) << std::strerror(error);
        }
    }
    EXPECT_EQ(platform_->Open((tree_.dev() / "hidraw9").string(), false), kInvalidHandle);
    EXPECT_EQ(platform_->LastOpenError(), OpenError::NotFound);
}

TEST_F(HidrawPlatformTest, CloseOnlyClosesOwnHandles) {
    AddUsb(0);
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    ASSERT_NE(handle, kInvalidHandle);
    EXPECT_FALSE(platform_->Close(handle + 1));
    EXPECT_FALSE(platform_->Close(kInvalidHandle));
    EXPECT_FALSE(platform_->Close(0));
    EXPECT_TRUE(io_->closed->empty());
    EXPECT_TRUE(platform_->Close(handle));
    EXPECT_FALSE(platform_->Close(handle));  // never closed twice
    EXPECT_EQ(io_->closed->size(), 1u);
}

TEST_F(HidrawPlatformTest, DestructorClosesWhatIsStillOpen) {
    AddUsb(0);
    ASSERT_NE(platform_->Open(tree_.devPath(0), false), kInvalidHandle);
    ASSERT_NE(platform_->Open(tree_.devPath(0), true), kInvalidHandle);
    const auto closed = io_->closed;
    platform_.reset();  // destroys the fake too
    io_ = nullptr;
    EXPECT_EQ(closed->size(), 2u);
}

// --- product ID without opening ----------------------------------------------------------

TEST_F(HidrawPlatformTest, PeeksProductIdFromUevent) {
    tree_.AddUsb(0, {.productId = 0xB038});
    tree_.AddUsb(1, {.port = "1-2", .productId = 0x2442});
    std::uint16_t productId = 0;
    ASSERT_TRUE(platform_->PeekProductId(tree_.devPath(0), productId));
    EXPECT_EQ(productId, 0xB038);
    ASSERT_TRUE(platform_->PeekProductId(tree_.devPath(1), productId));
    EXPECT_EQ(productId, 0x2442);
    EXPECT_EQ(io_->openCalls, 0);
}

TEST_F(HidrawPlatformTest, PeekFailsWithoutAUsableUevent) {
    std::uint16_t productId = 0x1234;
    EXPECT_FALSE(platform_->PeekProductId(tree_.devPath(7), productId));  // no such node
    EXPECT_FALSE(platform_->PeekProductId((tree_.dev() / "tty0").string(), productId));
    EXPECT_FALSE(platform_->PeekProductId("", productId));

    tree_.AddUsb(0);
    const auto uevent = tree_.sys() / "class/hidraw/hidraw0/device/uevent";
    for (const char* text :
         {"DRIVER=hid-generic\n", "HID_ID=0003:00001209\n", "HID_ID=0003:00001209:\n",
          "HID_ID=0003:00001209:0000XYZ0\n", "HID_ID=0003:00001209:1000000000\n"}) {
        hidraw::testing::WriteFile(uevent, text);
        EXPECT_FALSE(platform_->PeekProductId(tree_.devPath(0), productId)) << text;
    }
    EXPECT_EQ(productId, 0x1234);

    hidraw::testing::WriteFile(uevent, "DRIVER=hid-generic\nHID_ID=0003:00001209:0001b038");
    ASSERT_TRUE(platform_->PeekProductId(tree_.devPath(0), productId));
    EXPECT_EQ(productId, 0xB038);  // low 16 bits, lower-case hex, no final newline
}

// --- attributes ------------------------------------------------------------------------

TEST_F(HidrawPlatformTest, AttributesFromIoctlAndSysfs) {
    AddUsb(0, {.productId = 0xB038, .bcdDevice = "0110"});
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    ASSERT_NE(handle, kInvalidHandle);
    HiddAttributes attributes;
    attributes.Size = 12;
    ASSERT_TRUE(platform_->GetAttributes(handle, attributes));
    EXPECT_EQ(attributes.VendorID, 0x1209);
    EXPECT_EQ(attributes.ProductID, 0xB038);  // arrived as a negative 16-bit value
    EXPECT_EQ(attributes.VersionNumber, 0x0110);
    EXPECT_EQ(attributes.Size, 12u);
}

TEST_F(HidrawPlatformTest, SignedVendorIdIsConvertedToo) {
    FakeNode& node = AddUsb(0, {.vendorId = 0x8086, .productId = 0xFFFF, .bcdDevice = "ffff"});
    ASSERT_LT(node.vendor, 0);
    ASSERT_LT(node.product, 0);
    const HidHandle handle = platform_->Open(tree_.devPath(0), true);
    HiddAttributes attributes;
    ASSERT_TRUE(platform_->GetAttributes(handle, attributes));
    EXPECT_EQ(attributes.VendorID, 0x8086);
    EXPECT_EQ(attributes.ProductID, 0xFFFF);
    EXPECT_EQ(attributes.VersionNumber, 0xFFFF);
}

TEST_F(HidrawPlatformTest, VersionZeroWhenBcdDeviceMissingOrMalformed) {
    AddUsb(0, {.bcdDevice = std::nullopt});
    AddUsb(1, {.port = "1-2", .bcdDevice = "1x00"});
    AddUsb(2, {.port = "1-3", .bcdDevice = "10000"});
    for (unsigned n : {0u, 1u, 2u}) {
        const HidHandle handle = platform_->Open(tree_.devPath(n), true);
        HiddAttributes attributes;
        attributes.VersionNumber = 0x4242;
        ASSERT_TRUE(platform_->GetAttributes(handle, attributes));
        EXPECT_EQ(attributes.VersionNumber, 0) << n;
        EXPECT_EQ(attributes.ProductID, 0x2442);
    }
}

TEST_F(HidrawPlatformTest, NonUsbDeviceHasVersionZeroAndNoStrings) {
    tree_.AddI2c(0);
    FakeNode& node = io_->node(tree_.devPath(0));
    node.bustype = BUS_I2C;
    node.vendor = 0x04F3;
    node.product = 0x3140;
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    ASSERT_NE(handle, kInvalidHandle);
    HiddAttributes attributes;
    ASSERT_TRUE(platform_->GetAttributes(handle, attributes));
    EXPECT_EQ(attributes.VendorID, 0x04F3);
    EXPECT_EQ(attributes.VersionNumber, 0);
    EXPECT_FALSE(String(handle, HidString::Manufacturer));
    EXPECT_FALSE(String(handle, HidString::Product));
    EXPECT_FALSE(String(handle, HidString::SerialNumber));
}

TEST_F(HidrawPlatformTest, UsbBusWithoutUsbDeviceAboveIsNotUsb) {
    // uhid can claim BUS_USB; there is no USB device directory to read from.
    tree_.AddUhid(0);
    io_->node(tree_.devPath(0)).bustype = BUS_USB;
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    HiddAttributes attributes;
    ASSERT_TRUE(platform_->GetAttributes(handle, attributes));
    EXPECT_EQ(attributes.ProductID, 0x2442);
    EXPECT_EQ(attributes.VersionNumber, 0);
    EXPECT_FALSE(String(handle, HidString::Product));
}

TEST_F(HidrawPlatformTest, UsbDirectoryIsIgnoredWhenTheBusIsNotUsb) {
    FakeNode& node = AddUsb(0);
    node.bustype = BUS_BLUETOOTH;
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    HiddAttributes attributes;
    ASSERT_TRUE(platform_->GetAttributes(handle, attributes));
    EXPECT_EQ(attributes.VersionNumber, 0);
    EXPECT_FALSE(String(handle, HidString::Product));
}

TEST_F(HidrawPlatformTest, AttributesFailWhenTheDeviceIsGone) {
    FakeNode& node = AddUsb(0);
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    node.gone = true;
    HiddAttributes attributes;
    EXPECT_FALSE(platform_->GetAttributes(handle, attributes));
    EXPECT_FALSE(platform_->GetAttributes(handle + 1, attributes));  // not ours
}

// --- capabilities ----------------------------------------------------------------------

TEST_F(HidrawPlatformTest, CapsFromTheReportDescriptor) {
    AddUsb(0);
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    HidpCaps caps;
    caps.NumberInputValueCaps = 7;
    ASSERT_TRUE(platform_->GetCaps(handle, caps));
    EXPECT_EQ(caps.FeatureReportByteLength, 41);
    EXPECT_EQ(caps.InputReportByteLength, 65);
    EXPECT_EQ(caps.OutputReportByteLength, 65);
    EXPECT_EQ(caps.UsagePage, 0xFF00);
    EXPECT_EQ(caps.Usage, 0x01);
    EXPECT_EQ(caps.NumberInputValueCaps, 0);
    const auto& requests = io_->node(tree_.devPath(0)).requests;
    EXPECT_EQ(requests, (std::vector<unsigned long>{HIDIOCGRDESCSIZE, HIDIOCGRDESC}));
}

TEST_F(HidrawPlatformTest, CapsFailWhenAnIoctlFails) {
    FakeNode& node = AddUsb(0);
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    HidpCaps caps;
    node.descriptorSizeErrno = EIO;
    EXPECT_FALSE(platform_->GetCaps(handle, caps));
    node.descriptorSizeErrno = 0;
    node.descriptorErrno = EFAULT;
    EXPECT_FALSE(platform_->GetCaps(handle, caps));
    node.descriptorErrno = 0;
    node.gone = true;
    EXPECT_FALSE(platform_->GetCaps(handle, caps));
    EXPECT_FALSE(platform_->GetCaps(kInvalidHandle, caps));
}

TEST_F(HidrawPlatformTest, CapsOfALongDescriptorStayWithinTheKernelLimit) {
    FakeNode& node = AddUsb(0);
    // 4096 bytes: a feature item, then Usage items to fill. The kernel refuses to copy
    // more than 4095, so the size asked for must be capped.
    node.descriptor = {0x75, 0x08, 0x95, 0x10, 0xB1, 0x02};
    while (node.descriptor.size() < HID_MAX_DESCRIPTOR_SIZE) {
        node.descriptor.push_back(0x09);
        node.descriptor.push_back(0x01);
    }
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    HidpCaps caps;
    ASSERT_TRUE(platform_->GetCaps(handle, caps));
    EXPECT_EQ(caps.FeatureReportByteLength, 17);
}

TEST_F(HidrawPlatformTest, CapsOfADeviceWithoutFeatureReport) {
    FakeNode& node = AddUsb(0);
    node.descriptor = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x75,
                       0x08, 0x95, 0x03, 0x81, 0x02, 0xC0};
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    HidpCaps caps;
    ASSERT_TRUE(platform_->GetCaps(handle, caps));
    EXPECT_EQ(caps.FeatureReportByteLength, 0);
    EXPECT_EQ(caps.InputReportByteLength, 4);
}

// --- strings ---------------------------------------------------------------------------

TEST_F(HidrawPlatformTest, ReadsTheIdentityStrings) {
    AddUsb(0);
    const HidHandle handle = platform_->Open(tree_.devPath(0), true);
    EXPECT_EQ(String(handle, HidString::Manufacturer), u"Velt Instruments");
    EXPECT_EQ(String(handle, HidString::Product), u"Velt-USB");
    EXPECT_EQ(String(handle, HidString::SerialNumber), u"VU-000123");
}

TEST_F(HidrawPlatformTest, NonAsciiStringsBecomeUtf16) {
    AddUsb(0, {.manufacturer = "M\xC3\xBCller Ger\xC3\xA4te",
               .product = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB1\xD0\xBE\xD1\x80",  // Прибор
               .serial = "VU-\xF0\x9F\x94\xA7-7"});                            // 🔧
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    EXPECT_EQ(String(handle, HidString::Manufacturer), u"M\u00FCller Ger\u00E4te");
    EXPECT_EQ(String(handle, HidString::Product), u"\u041F\u0440\u0438\u0431\u043E\u0440");
    EXPECT_EQ(String(handle, HidString::SerialNumber),
              (std::u16string{u'V', u'U', u'-', 0xD83D, 0xDD27, u'-', u'7'}));
}

TEST_F(HidrawPlatformTest, OnlyTheKernelsNewlineIsStripped) {
    AddUsb(0, {.manufacturer = "Two\nLines", .product = "Trailing\n", .serial = ""});
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    EXPECT_EQ(String(handle, HidString::Manufacturer), u"Two\nLines");
    EXPECT_EQ(String(handle, HidString::Product), u"Trailing\n");
    EXPECT_EQ(String(handle, HidString::SerialNumber), u"");
}

TEST_F(HidrawPlatformTest, StringsAreTruncatedToTheBuffer) {
    AddUsb(0, {.serial = "VU-\xF0\x9F\x94\xA7"});
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    EXPECT_EQ(String(handle, HidString::Manufacturer, 10), u"Velt");  // 4 units + NUL
    EXPECT_EQ(String(handle, HidString::Manufacturer, 11), u"Velt");  // odd length
    EXPECT_EQ(String(handle, HidString::Manufacturer, 2), u"");
    EXPECT_EQ(String(handle, HidString::Manufacturer, 34), u"Velt Instruments");
    EXPECT_EQ(String(handle, HidString::Manufacturer, 32), u"Velt Instrument");
    // "VU-" + a surrogate pair: with room for 4 units the pair is dropped whole.
    EXPECT_EQ(String(handle, HidString::SerialNumber, 10), u"VU-");
    EXPECT_EQ(String(handle, HidString::SerialNumber, 12),
              (std::u16string{u'V', u'U', u'-', 0xD83D, 0xDD27}));
    EXPECT_FALSE(String(handle, HidString::Manufacturer, 1));
    EXPECT_FALSE(String(handle, HidString::Manufacturer, 0));
}

TEST_F(HidrawPlatformTest, MissingStringFailsOnlyThatQuery) {
    AddUsb(0, {.serial = std::nullopt});
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    EXPECT_TRUE(String(handle, HidString::Manufacturer));
    EXPECT_TRUE(String(handle, HidString::Product));
    EXPECT_FALSE(String(handle, HidString::SerialNumber));
}

TEST_F(HidrawPlatformTest, StringQueryFailsOnceTheDeviceIsGone) {
    FakeNode& node = AddUsb(0);
    const HidHandle handle = platform_->Open(tree_.devPath(0), true);
    ASSERT_TRUE(String(handle, HidString::SerialNumber));
    node.gone = true;  // the sysfs files are still there: only the ioctl tells
    EXPECT_FALSE(String(handle, HidString::SerialNumber));
    EXPECT_FALSE(String(handle, HidString::Manufacturer));
    ASSERT_FALSE(node.requests.empty());
    EXPECT_EQ(node.requests.back(), HIDIOCGRAWINFO);
}

TEST_F(HidrawPlatformTest, StringQueryOnAHandleNotOurs) {
    AddUsb(0);
    std::array<std::uint8_t, 64> buffer{};
    EXPECT_FALSE(
        platform_->GetString(kInvalidHandle, HidString::Product, buffer.data(), buffer.size()));
    EXPECT_FALSE(platform_->GetString(100, HidString::Product, buffer.data(), buffer.size()));
}

TEST_F(HidrawPlatformTest, EachHandleReadsItsOwnDevice) {
    AddUsb(3, {.port = "1-1", .serial = "A-1"});
    AddUsb(12, {.port = "2-4", .serial = "B-2"});
    const HidHandle a = platform_->Open(tree_.devPath(3), false);
    const HidHandle b = platform_->Open(tree_.devPath(12), false);
    EXPECT_EQ(String(b, HidString::SerialNumber), u"B-2");
    EXPECT_EQ(String(a, HidString::SerialNumber), u"A-1");
}

// --- feature reports -------------------------------------------------------------------

TEST_F(HidrawPlatformTest, SetFeatureSendsTheReport) {
    FakeNode& node = AddUsb(0);
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    std::vector<std::uint8_t> report(41);
    for (std::size_t i = 0; i < report.size(); ++i) {
        report[i] = static_cast<std::uint8_t>(i);
    }
    ASSERT_TRUE(platform_->SetFeature(handle, report.data(), report.size()));
    ASSERT_EQ(node.featureReports.size(), 1u);
    EXPECT_EQ(node.featureReports[0], report);
    EXPECT_EQ(node.requests.back(), static_cast<unsigned long>(HIDIOCSFEATURE(41)));
}

TEST_F(HidrawPlatformTest, SetFeatureFailures) {
    FakeNode& node = AddUsb(0);
    const HidHandle handle = platform_->Open(tree_.devPath(0), false);
    std::vector<std::uint8_t> report(41, 0);
    node.featureErrno = EPIPE;  // the device stalled the request
    EXPECT_FALSE(platform_->SetFeature(handle, report.data(), report.size()));
    node.featureErrno = 0;
    node.gone = true;
    EXPECT_FALSE(platform_->SetFeature(handle, report.data(), report.size()));
    node.gone = false;
    EXPECT_FALSE(platform_->SetFeature(handle, report.data(), 0));
    EXPECT_FALSE(platform_->SetFeature(handle, nullptr, 41));
    std::vector<std::uint8_t> huge(1 << 14, 0);  // does not fit the ioctl's size field
    EXPECT_FALSE(platform_->SetFeature(handle, huge.data(), huge.size()));
    EXPECT_FALSE(platform_->SetFeature(handle + 1, report.data(), report.size()));
    EXPECT_TRUE(node.featureReports.empty());
    std::vector<std::uint8_t> largest((1 << 14) - 1, 0);
    EXPECT_TRUE(platform_->SetFeature(handle, largest.data(), largest.size()));
}

// --- sleep -----------------------------------------------------------------------------

TEST_F(HidrawPlatformTest, SleepSleeps) {
    const auto start = std::chrono::steady_clock::now();
    platform_->Sleep(20);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

// --- the real system calls, on ordinary files -------------------------------------------

TEST(SystemHidrawIo, LocksAreExclusiveBetweenOpenFiles) {
    FakeSysfs tree;
    tree.AddUsb(0);
    HidrawPlatform platform(tree.sys().string(), tree.dev().string());
    const HidHandle first = platform.Open(tree.devPath(0), false);
    ASSERT_NE(first, kInvalidHandle) << "open of a plain file failed";
    EXPECT_EQ(platform.Open(tree.devPath(0), false), kInvalidHandle);
    EXPECT_EQ(platform.LastOpenError(), OpenError::Busy);
    const HidHandle query = platform.Open(tree.devPath(0), true);
    EXPECT_NE(query, kInvalidHandle);
    EXPECT_TRUE(platform.Close(first));
    const HidHandle again = platform.Open(tree.devPath(0), false);
    EXPECT_NE(again, kInvalidHandle);
    EXPECT_TRUE(platform.Close(again));
    EXPECT_TRUE(platform.Close(query));
}

TEST(SystemHidrawIo, ErrorsComeBackNegated) {
    FakeSysfs tree;
    tree.AddUsb(0);
    hidraw::SystemHidrawIo io;
    EXPECT_EQ(io.Open((tree.dev() / "hidraw9").string()), -ENOENT);
    const int fd = io.Open(tree.devPath(0));
    ASSERT_GE(fd, 0);
    hidraw_devinfo info{};
    EXPECT_EQ(io.Ioctl(fd, HIDIOCGRAWINFO, &info), -ENOTTY);  // not a hidraw node
    EXPECT_EQ(io.LockExclusive(fd), 0);
    EXPECT_EQ(io.Close(fd), 0);
    EXPECT_EQ(io.Close(fd), -EBADF);

    HidrawPlatform platform(tree.sys().string(), tree.dev().string());
    EXPECT_EQ(platform.Open((tree.dev() / "hidraw9").string(), false), kInvalidHandle);
    EXPECT_EQ(platform.LastOpenError(), OpenError::NotFound);
    // Strings need a working ioctl, which a plain file does not have.
    const HidHandle handle = platform.Open(tree.devPath(0), true);
    ASSERT_NE(handle, kInvalidHandle);
    std::array<std::uint8_t, 64> buffer{};
    EXPECT_FALSE(platform.GetString(handle, HidString::Product, buffer.data(), buffer.size()));
    HidpCaps caps;
    EXPECT_FALSE(platform.GetCaps(handle, caps));
}

TEST(SystemHidrawIo, PermissionDeniedOnAnUnreadableNode) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root opens any file";
    }
    FakeSysfs tree;
    tree.AddUsb(0);
    std::filesystem::permissions(tree.devPath(0), std::filesystem::perms::owner_read);
    HidrawPlatform platform(tree.sys().string(), tree.dev().string());
    EXPECT_EQ(platform.Open(tree.devPath(0), false), kInvalidHandle);
    EXPECT_EQ(platform.LastOpenError(), OpenError::PermissionDenied);
}

}  // namespace
}  // namespace velt
