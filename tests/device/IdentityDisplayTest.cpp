#include <gtest/gtest.h>

#include <map>

#include "Clock.h"
#include "Discovery.h"
#include "IdentityDisplay.h"
#include "SimulatedBus.h"

namespace velt {
namespace {

class RecordingLabels final : public IdentityLabels {
  public:
    void SetIdentityCaption(IdentityField field, const std::string& text) override {
        captions[field] = text;
        order.push_back(field);
    }
    std::map<IdentityField, std::string> captions;
    std::vector<IdentityField> order;
};

std::vector<std::uint8_t> Utf16(const std::u16string& text, std::size_t size = 201) {
    std::vector<std::uint8_t> buffer(size, 0);
    for (std::size_t i = 0; i < text.size() && 2 * i + 1 < size; ++i) {
        buffer[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        buffer[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    return buffer;
}

std::string Decode(const std::u16string& text) {
    return DecodeIdentityString(Utf16(text).data(), 100);
}

TEST(IdentityText, VersionIsMajorDecimalDotMinorHex) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x0102, " 1.2"}, {0x0110, " 1.10"},   {0x010A, " 1.A"},   {0x0A00, " 10.0"},
        {0x0000, " 0.0"}, {0xFFFF, " 255.FF"}, {0x8001, " 128.1"}, {0xFF00, " 255.0"},
    };
    for (const auto& [version, text] : cases) {
        EXPECT_EQ(FormatVersion(version), text) << std::hex << version;
    }
}

TEST(IdentityText, DecodesUtf16UpToFiftyUnitsWithoutSplittingPairs) {
    EXPECT_EQ(Decode(u"Velt Instruments"), "Velt Instruments");
    EXPECT_EQ(Decode(u"M\u00fcller Ger\u00e4te"), "Müller Geräte");
    EXPECT_EQ(Decode(u"\u041f\u0440\u0438\u0431\u043e\u0440"), "Прибор");
    // U+0100 has a zero low byte: it is a character, not the end of the text.
    EXPECT_EQ(Decode(u"A\u0100B"), "AĀB");
    EXPECT_EQ(Decode(u"Chip \U0001F600!"), "Chip 😀!");
    EXPECT_EQ(Decode(u""), "");

    const std::u16string sixty(60, u'x');
    EXPECT_EQ(Decode(sixty), std::string(50, 'x'));
    // 49 units and then a pair: the pair would need units 50 and 51, so it is dropped whole.
    EXPECT_EQ(Decode(std::u16string(49, u'y') + u"\U0001F600"), std::string(49, 'y'));
    EXPECT_EQ(Decode(std::u16string(48, u'y') + u"\U0001F600"), std::string(48, 'y') + "😀");
    // A lone surrogate from a broken device shows as a replacement character.
    EXPECT_EQ(Decode(u"a\xDC00"
                     u"b"),
              "a\uFFFDb");
}

class ShowDeviceInfoTest : public ::testing::Test {
  protected:
    void Connect(const sim::DeviceModel& model, const sim::FailureInjection& failures = {}) {
        bus.AddDevice(model, failures);
        state.deviceFound = FindTheHid(bus, state);
        ASSERT_TRUE(state.deviceFound);
        bus.ClearCalls();
    }

    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    DeviceState state;
    RecordingLabels labels;
};

TEST_F(ShowDeviceInfoTest, NoDeviceBlanksEveryLabel) {
    labels.captions = {{IdentityField::Manufacturer, " old"},
                       {IdentityField::Product, " old"},
                       {IdentityField::SerialNumber, " old"},
                       {IdentityField::Version, " 9.9"}};
    ShowDeviceInfo(bus, state, labels);
    EXPECT_EQ(labels.captions[IdentityField::Manufacturer], "");
    EXPECT_EQ(labels.captions[IdentityField::Product], "");
    EXPECT_EQ(labels.captions[IdentityField::SerialNumber], "");
    EXPECT_EQ(labels.captions[IdentityField::Version], " ");
    EXPECT_TRUE(bus.calls().empty());
}

TEST_F(ShowDeviceInfoTest, QueriesInOrderEachAfterAPause) {
    sim::DeviceModel model;
    model.version = 0x010A;
    model.manufacturer = "M\u00fcller Ger\u00e4te";
    model.product = "Velt";  // shorter than the manufacturer: no tail of it may show
    model.serial = "SN-1";
    Connect(model);

    ShowDeviceInfo(bus, state, labels);
    EXPECT_EQ(labels.captions[IdentityField::Manufacturer], " Müller Geräte");
    EXPECT_EQ(labels.captions[IdentityField::Version], " 1.A");
    EXPECT_EQ(labels.captions[IdentityField::Product], " Velt");
    EXPECT_EQ(labels.captions[IdentityField::SerialNumber], " SN-1");

    std::vector<std::string> calls;
    for (const auto& call : bus.calls()) {
        calls.push_back(call.text);
    }
    const std::string path = state.devicePath;
    EXPECT_EQ(calls, (std::vector<std::string>{"Sleep 20", "GetString Manufacturer " + path,
                                               "Sleep 20", "GetString Product " + path, "Sleep 20",
                                               "GetString SerialNumber " + path}));
    EXPECT_EQ(clock.NowMs(), 60U);
    EXPECT_EQ(state.apiResult, 1);
}

TEST_F(ShowDeviceInfoTest, FailedQueriesKeepTheirCaptions) {
    sim::DeviceModel model;
    model.manufacturer = "";  // answers with an empty string
    model.serial.reset();     // has none
    sim::FailureInjection failures;
    failures.product = true;
    Connect(model, failures);
    labels.captions[IdentityField::Product] = " kept";
    labels.captions[IdentityField::SerialNumber] = "";

    ShowDeviceInfo(bus, state, labels);
    EXPECT_EQ(labels.captions[IdentityField::Manufacturer], " ");
    EXPECT_EQ(labels.captions[IdentityField::Version], " 1.2");
    EXPECT_EQ(labels.captions[IdentityField::Product], " kept");
    EXPECT_EQ(labels.captions[IdentityField::SerialNumber], "");
    EXPECT_EQ(state.apiResult, 0);

    // Without a query handle nothing answers, the captions stay, the pauses still happen.
    RecordingLabels untouched;
    sim::SimulatedBus bus2{clock};
    sim::FailureInjection noSecondOpen;
    noSecondOpen.secondOpen = true;
    bus2.AddDevice(sim::DeviceModel{}, noSecondOpen);
    DeviceState other;
    other.deviceFound = FindTheHid(bus2, other);
    const auto before = clock.NowMs();
    ShowDeviceInfo(bus2, other, untouched);
    EXPECT_TRUE(untouched.order.empty());
    EXPECT_EQ(clock.NowMs() - before, 60U);
}

}  // namespace
}  // namespace velt
