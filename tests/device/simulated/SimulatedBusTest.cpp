#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Sha256.h"
#include "SimulatedBus.h"

namespace velt::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Paths = std::vector<std::string>;

// A report as the tool sends it: report ID 0, then the payload, padded to `length`.
Bytes Report(Bytes payload, std::size_t length = 41) {
    payload.insert(payload.begin(), 0x00);
    payload.resize(length, 0x00);
    return payload;
}

const Bytes kSwitch{0xDE, 0xFA, 0xCE};

class SimulatedBusTest : public ::testing::Test {
  protected:
    bool Send(HidHandle handle, const Bytes& report) {
        return bus.SetFeature(handle, report.data(), report.size());
    }
    // The product ID the handle reaches; 0 when it reaches nothing.
    std::uint16_t ProductIdVia(HidHandle handle) {
        HiddAttributes attributes;
        return bus.GetAttributes(handle, attributes) ? attributes.ProductID : 0;
    }

    VirtualClock clock;
    SimulatedBus bus{clock};
};

TEST_F(SimulatedBusTest, SwitchLeavesAtDetachAndReturnsAsBootloaderUnlessIgnored) {
    SimulatedVelt& stubborn = bus.AddVelt({}, {.ignoreSwitch = true});
    SimulatedVelt& velt = bus.AddVelt({}, {.detachMs = 50, .reenumerateMs = 500});
    const HidHandle stubbornHandle = bus.Open(stubborn.path(), false);
    const HidHandle handle = bus.Open(velt.path(), false);
    clock.Advance(100);
    ASSERT_TRUE(Send(stubbornHandle, Report(kSwitch)));
    ASSERT_TRUE(Send(handle, Report(kSwitch)));

    clock.Advance(49);
    EXPECT_EQ(bus.presentPaths(), (Paths{"/sim/hidraw0", "/sim/hidraw1"}));
    EXPECT_EQ(ProductIdVia(handle), applicationProductId);
    clock.Advance(1);
    EXPECT_EQ(ProductIdVia(handle), 0);
    clock.Advance(499);
    EXPECT_EQ(bus.presentPaths(), Paths{"/sim/hidraw0"});
    clock.Advance(1);
    EXPECT_EQ(bus.presentPaths(), (Paths{"/sim/hidraw0", "/sim/hidraw2"}));
    EXPECT_EQ(ProductIdVia(handle), 0);
    EXPECT_EQ(ProductIdVia(bus.Open(velt.path(), false)), bootloaderProductId);
    // Counted, but the device stayed all along.
    EXPECT_EQ(stubborn.modeSwitches(), 1);
    EXPECT_EQ(ProductIdVia(stubbornHandle), applicationProductId);
}

TEST_F(SimulatedBusTest, ReportsAreRecordedAndOnlyWellFormedOnesAct) {
    SimulatedVelt& velt = bus.AddVelt({});
    const HidHandle app = bus.Open(velt.path(), false);
    const Bytes data = Report(Bytes(40, 0x11));
    EXPECT_TRUE(Send(app, Report({0xDE, 0xFA, 0xCE, 0x01})));  // not the exact command
    EXPECT_TRUE(Send(app, Report(kSwitch, 3)));                // too short to hold it
    EXPECT_TRUE(Send(app, data));                              // seen, not stored
    EXPECT_FALSE(Send(app, Report(kSwitch, 42)));              // longer than the device takes
    EXPECT_FALSE(bus.SetFeature(app, Report(kSwitch).data(), 0));
    EXPECT_FALSE(bus.SetFeature(app, nullptr, 41));
    clock.Advance(10'000);
    EXPECT_EQ(velt.modeSwitches(), 0);
    ASSERT_EQ(velt.reports().size(), 6u);
    EXPECT_EQ(velt.reports()[2].bytes, Bytes(40, 0x11));
    EXPECT_TRUE(velt.records().empty());

    ASSERT_TRUE(Send(app, Report(kSwitch, 4)));  // the command, then zeros
    clock.Advance(10'000);
    const HidHandle boot = bus.Open(velt.path(), false);
    EXPECT_TRUE(Send(boot, data));
    EXPECT_FALSE(Send(boot, Report(Bytes(39, 0x22), 40)));  // short of a payload
    EXPECT_TRUE(Send(boot, Report(Bytes(40, 0x33))));
    ASSERT_EQ(velt.records().size(), 2u);
    EXPECT_EQ(Bytes(velt.records()[0].begin(), velt.records()[0].end()), Bytes(40, 0x11));
    EXPECT_EQ(Bytes(velt.records()[1].begin(), velt.records()[1].end()), Bytes(40, 0x33));
}

TEST_F(SimulatedBusTest, StringsAreUtf16AndAShortBufferGetsOnlyWhatFits) {
    DeviceModel model;
    model.product = "V\xF0\x9F\x94\x8C";  // U+1F50C needs a surrogate pair
    const HidHandle handle = bus.Open(bus.AddVelt(model).path(), false);
    const Bytes whole{'V', 0, 0x3D, 0xD8, 0x0C, 0xDD, 0, 0};
    for (const std::size_t length : {0, 1, 5, 8, 12}) {
        SCOPED_TRACE(length);
        Bytes buffer(16, 0xAA);
        ASSERT_TRUE(bus.GetString(handle, HidString::Product, buffer.data(), length));
        Bytes expected(whole.begin(), whole.begin() + std::min(length, whole.size()));
        expected.resize(buffer.size(), 0xAA);
        EXPECT_EQ(buffer, expected);
    }
}

// Each injected failure breaks its own call and no other, and open reports the given error.
TEST_F(SimulatedBusTest, InjectedFailures) {
    const std::pair<bool FailureInjection::*, const char*> cases[] = {
        {&FailureInjection::open, "o......"},         {&FailureInjection::secondOpen, ".v....."},
        {&FailureInjection::attributes, "..a...."},   {&FailureInjection::caps, "...c..."},
        {&FailureInjection::manufacturer, "....m.."}, {&FailureInjection::product, ".....p."},
        {&FailureInjection::serial, "......s"},
    };
    const std::string path = bus.AddDevice(DeviceModel{});
    for (const auto& [flag, expected] : cases) {
        SCOPED_TRACE(expected);
        FailureInjection failures;
        failures.openError = OpenError::Busy;
        failures.*flag = true;
        bus.SetFailures(path, failures);
        std::string broken;
        const HidHandle plain = bus.Open(path, false);
        broken += plain == kInvalidHandle ? 'o' : '.';
        EXPECT_EQ(bus.LastOpenError(), plain == kInvalidHandle ? OpenError::Busy : OpenError::None);
        const HidHandle overlapped = bus.Open(path, true);
        broken += overlapped == kInvalidHandle ? 'v' : '.';
        const HidHandle handle = std::max(plain, overlapped);
        HidpCaps caps;
        broken += ProductIdVia(handle) == applicationProductId ? '.' : 'a';
        broken += bus.GetCaps(handle, caps) && caps.FeatureReportByteLength == 41 ? '.' : 'c';
        std::uint8_t text[64];
        for (const auto& [which, letter] : {std::pair{HidString::Manufacturer, 'm'},
                                            {HidString::Product, 'p'},
                                            {HidString::SerialNumber, 's'}}) {
            broken += bus.GetString(handle, which, text, sizeof text) ? '.' : letter;
        }
        EXPECT_EQ(broken, expected);
    }
}

TEST_F(SimulatedBusTest, UnplugKillsHandlesAndAReturnAndPathsAreNeverReused) {
    EXPECT_EQ(bus.AddDevice({}), "/sim/hidraw0");
    SimulatedVelt& velt = bus.AddVelt({});
    const HidHandle first = bus.Open("/sim/hidraw1", false);
    const HidHandle handle = bus.Open("/sim/hidraw1", true);
    EXPECT_NE(handle, first);
    EXPECT_TRUE(bus.Close(first));
    EXPECT_FALSE(bus.Close(first));
    const auto snapshot = bus.ListInterfaces();

    // Unplugged mid-switch, it comes back only when replugged, in the mode it was in.
    ASSERT_TRUE(Send(handle, Report(kSwitch)));
    clock.Advance(10);
    bus.Unplug("/sim/hidraw1");
    clock.Advance(60'000);
    EXPECT_FALSE(velt.present());
    bus.Replug(velt);
    EXPECT_EQ(velt.path(), "/sim/hidraw2");
    EXPECT_EQ(velt.productId(), applicationProductId);
    std::string listed;
    ASSERT_TRUE(snapshot->Interface(1, listed));
    EXPECT_EQ(listed, "/sim/hidraw1");

    // The old handle reaches nothing, yet counts as open until closed.
    EXPECT_EQ(ProductIdVia(handle), 0);
    EXPECT_FALSE(Send(handle, Report(kSwitch)));
    EXPECT_EQ(velt.reports().size(), 1u);
    EXPECT_EQ(bus.Open("/sim/hidraw1", false), kInvalidHandle);
    EXPECT_EQ(bus.LastOpenError(), OpenError::NotFound);
    EXPECT_EQ(bus.openHandleCount(), 1u);
    EXPECT_TRUE(bus.Close(handle));
    EXPECT_EQ(bus.invalidCloses(), 1);

    // A return is placed in time order, however late the bus is next looked at.
    ASSERT_TRUE(Send(bus.Open(velt.path(), false), Report(kSwitch)));
    clock.Advance(600);
    EXPECT_EQ(bus.AddDevice({}), "/sim/hidraw4");
    EXPECT_EQ(bus.presentPaths(), (Paths{"/sim/hidraw0", "/sim/hidraw3", "/sim/hidraw4"}));
}

TEST(Sha256, KnownVectorsWholeAndInUnevenPieces) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // Either side of where the length field no longer fits in the last block.
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(1'000'000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [input, digest] : cases) {
        SCOPED_TRACE(input.size());
        EXPECT_EQ(Sha256::HexOf(input), digest);
        // Pieces of 1 to 199 bytes straddle the block boundaries in every way.
        Sha256 hasher;
        for (std::size_t at = 0, size = 1; at < input.size();
             at += size, size = size * 3 % 199 + 1) {
            hasher.Update(std::string_view(input).substr(at, size));
        }
        EXPECT_EQ(Sha256::Hex(hasher.Finish()), digest);
    }
}

}  // namespace
}  // namespace velt::sim
