#include <gtest/gtest.h>

#include <map>

#include "device/Discovery.h"
#include "device/IdentityDisplay.h"
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

    DeviceState state;
    std::vector<UnusableDevice> unusable;
    ASSERT_TRUE(FindTheHid(bus, state, &unusable));
    EXPECT_TRUE(state.deviceFound);
    EXPECT_EQ(state.devicePath, taken);
    EXPECT_EQ(state.deviceAttributes.VendorID, 0xFFFF);
    EXPECT_EQ(state.deviceAttributes.VersionNumber, 0x0207);
    EXPECT_EQ(state.featureReportLength, 0);  // it would not tell
    EXPECT_EQ(bus.openCount(keyboard), 0);
    EXPECT_EQ(bus.openCount(later), 0);
    ASSERT_EQ(unusable.size(), 1U);
    EXPECT_EQ(unusable[0].info.path, refused);
    EXPECT_EQ(unusable[0].error.kind(), DeviceErrorKind::Busy);

    // A new pass lets go of the device first; with none left, nothing is open.
    bus.Unplug(taken);
    bus.Unplug(later);
    EXPECT_FALSE(FindTheHid(bus, state));
    EXPECT_FALSE(state.deviceFound);
    EXPECT_EQ(bus.openDeviceCount(), 0U);
}

struct Labels final : IdentityLabels {
    void SetIdentityCaption(IdentityField field, const std::string& text) override {
        captions[field] = text;
    }
    std::map<IdentityField, std::string> captions;
};

TEST(IdentityDisplayTest, LabelsShowTheDeviceOrGoBlankAndAFailedQueryKeepsItsLabel) {
    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    bus.AddVelt({.version = 0x010A, .product = "Прибор"}, {}, {.serial = true});
    DeviceState state;
    ASSERT_TRUE(FindTheHid(bus, state));
    Labels labels;
    labels.captions[IdentityField::SerialNumber] = " old";
    const std::uint64_t start = clock.NowMs();
    ShowDeviceInfo(state, labels, clock);
    EXPECT_EQ(clock.NowMs() - start, 60U);  // 20 ms before each of the three queries
    EXPECT_EQ(labels.captions[IdentityField::Manufacturer], " Velt Instruments");
    EXPECT_EQ(labels.captions[IdentityField::Product], " Прибор");
    EXPECT_EQ(labels.captions[IdentityField::Version], " 1.A");
    EXPECT_EQ(labels.captions[IdentityField::SerialNumber], " old");
    EXPECT_EQ(FormatVersion(0xFF00), " 255.0");  // major in decimal, minor in hexadecimal

    state.Close();
    state.deviceFound = false;
    ShowDeviceInfo(state, labels, clock);
    EXPECT_EQ(labels.captions[IdentityField::Manufacturer], "");
    EXPECT_EQ(labels.captions[IdentityField::Version], " ");
    EXPECT_EQ(labels.captions[IdentityField::SerialNumber], "");
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
}

}  // namespace
}  // namespace velt
