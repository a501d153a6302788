#include <gtest/gtest.h>

#include "device/Discovery.h"
#include "device/IdentityText.h"
#include "device/simulated/SimulatedBus.h"

namespace velt {
namespace {

using protocol::applicationProductId;
using protocol::bootloaderProductId;

TEST(DiscoveryTest, TheFirstVeltThatOpensIsTakenWhateverTheVendorAndLaterOnesAreNeverOpened) {
    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    const std::string keyboard = bus.AddDevice({.productId = 0x0100});
    const std::string refused =
        bus.AddDevice({.productId = bootloaderProductId}, {.open = DeviceErrorKind::Busy});
    const std::string taken =
        bus.AddDevice({.vendorId = 0xFFFF, .productId = applicationProductId, .version = 0x0207},
                      {.featureLength = true});
    const std::string later = bus.AddDevice({.productId = bootloaderProductId});

    OpenDevice velt;
    std::vector<UnusableDevice> unusable;
    ASSERT_TRUE(OpenFirstVelt(bus, velt, &unusable));
    EXPECT_TRUE(velt.isOpen());
    EXPECT_EQ(velt.info.path, taken);
    EXPECT_EQ(velt.info.vendorId, 0xFFFF);
    EXPECT_EQ(velt.info.version, 0x0207);
    EXPECT_EQ(velt.featureReportLength, 0);  // it would not tell
    EXPECT_EQ(bus.openCount(keyboard), 0);
    EXPECT_EQ(bus.openCount(later), 0);
    ASSERT_EQ(unusable.size(), 1U);
    EXPECT_EQ(unusable[0].info.path, refused);
    EXPECT_EQ(unusable[0].error.kind(), DeviceErrorKind::Busy);

    // A new pass lets go of the device first; with none left, nothing is open.
    bus.Unplug(taken);
    bus.Unplug(later);
    EXPECT_FALSE(OpenFirstVelt(bus, velt));
    EXPECT_FALSE(velt.isOpen());
    EXPECT_EQ(bus.openDeviceCount(), 0U);
}

TEST(DiscoveryTest, ASerialNumberIsMissingOnlyWhenADeviceThatStaysWillNotTellIt) {
    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    const std::string told = bus.AddDevice({.productId = applicationProductId, .serial = "T-1"});
    const std::string none = bus.AddDevice({.productId = applicationProductId, .serial = {}});
    const std::string refusing =
        bus.AddDevice({.productId = applicationProductId, .serial = "R-1"}, {.serial = true});
    const std::string leaving =
        bus.AddDevice({.productId = applicationProductId, .serial = "L-1"},
                      {.serial = true, .stringError = DeviceErrorKind::Disconnected});

    EXPECT_EQ(ReadSerialNumber(bus, told), "T-1");
    EXPECT_EQ(ReadSerialNumber(bus, none), std::nullopt);
    EXPECT_EQ(ReadSerialNumber(bus, refusing), std::nullopt);
    // Leaving while asked: never taken for a device without a serial number.
    try {
        ReadSerialNumber(bus, leaving);
        ADD_FAILURE() << "a device that left was read";
    } catch (const DeviceError& error) {
        EXPECT_EQ(error.kind(), DeviceErrorKind::Disconnected);
    }
}

TEST(IdentityTextTest, AtMostFiftyUnitsNeverHalfACharacterMalformedBytesReplaced) {
    const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
    const std::pair<std::string, std::string> cases[] = {
        {"Müller Geräte", "Müller Geräte"},
        {std::string(60, 'x'), std::string(50, 'x')},
        {std::string(49, 'y') + emoji, std::string(49, 'y')},
        {std::string(48, 'y') + emoji, std::string(48, 'y') + emoji},
        {"a\xFF"
         "b",
         "a\uFFFD"
         "b"},
        {"\xE2\x82", "\uFFFD\uFFFD"},            // cut short
        {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
        {"\xC0\xAF", "\uFFFD\uFFFD"},            // overlong
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(ClampIdentityText(in), out) << in;
    }
    const std::pair<std::u16string, std::string> wide[] = {
        {u"Velt\0junk", "Velt"},
        {std::u16string(60, u'x'), std::string(50, 'x')},
        {std::u16string(49, u'y') + u"\U0001F600", std::string(49, 'y')},
        {{u'A', 0xD800, u'B', 0xDC00}, "A\uFFFDB\uFFFD"},  // lone surrogates
        {u"\U0001F600!", emoji + "!"},
    };
    for (const auto& [in, out] : wide) {
        EXPECT_EQ(IdentityTextFromUtf16(in), out) << out;
    }
    EXPECT_EQ(FormatVersion(0xFF00), " 255.0");  // major in decimal, minor in hexadecimal
}

}  // namespace
}  // namespace velt
