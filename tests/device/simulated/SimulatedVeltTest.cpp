#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Sha256.h"
#include "SimulatedBus.h"

namespace velt::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A report as the tool sends it: report ID 0, then the payload, padded to `length`.
Bytes Report(Bytes payload, std::size_t length = 41) {
    payload.insert(payload.begin(), 0x00);
    payload.resize(length, 0x00);
    return payload;
}

Bytes SwitchReport(std::size_t length = 41) {
    return Report({0xDE, 0xFA, 0xCE}, length);
}

Bytes DataReport(std::uint8_t seed) {
    Bytes payload(40);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return Report(payload);
}

class SimulatedVeltTest : public ::testing::Test {
  protected:
    bool Send(HidHandle handle, const Bytes& report) {
        return bus.SetFeature(handle, report.data(), report.size());
    }
    // Switches the Velt-USB to bootloader mode and opens it there.
    HidHandle ToBootloader(SimulatedVelt& velt) {
        EXPECT_TRUE(Send(bus.Open(velt.path(), false), SwitchReport()));
        clock.Advance(10'000);
        EXPECT_EQ(velt.productId(), bootloaderProductId);
        return bus.Open(velt.path(), false);
    }

    VirtualClock clock;
    SimulatedBus bus{clock};
};

TEST_F(SimulatedVeltTest, ModeSwitchLeavesThenReturnsAsBootloader) {
    VeltBehaviour behaviour;
    behaviour.detachMs = 50;
    behaviour.reenumerateMs = 500;
    SimulatedVelt& velt = bus.AddVelt(DeviceModel{}, behaviour);
    const std::string appPath = velt.path();
    const HidHandle handle = bus.Open(appPath, false);
    clock.Advance(100);
    ASSERT_TRUE(Send(handle, SwitchReport()));
    EXPECT_EQ(velt.modeSwitches(), 1);
    EXPECT_EQ(velt.reports().at(0).timeMs, 100u);

    HiddAttributes attributes;
    clock.Advance(49);
    EXPECT_EQ(bus.presentPaths(), std::vector<std::string>{appPath});
    EXPECT_TRUE(bus.GetAttributes(handle, attributes));
    clock.Advance(1);
    EXPECT_FALSE(velt.present());
    EXPECT_FALSE(bus.GetAttributes(handle, attributes));
    clock.Advance(499);
    EXPECT_TRUE(bus.presentPaths().empty());

    clock.Advance(1);
    EXPECT_EQ(bus.presentPaths(), std::vector<std::string>{"/sim/hidraw1"});
    EXPECT_EQ(velt.path(), "/sim/hidraw1");
    EXPECT_FALSE(bus.GetAttributes(handle, attributes));
    ASSERT_TRUE(bus.GetAttributes(bus.Open(velt.path(), false), attributes));
    EXPECT_EQ(attributes.VendorID, 0x1209);
    EXPECT_EQ(attributes.ProductID, bootloaderProductId);
}

TEST_F(SimulatedVeltTest, ReturnsInTimeOrderHoweverLateTheBusIsLookedAt) {
    VeltBehaviour behaviour;
    behaviour.detachMs = 0;
    SimulatedVelt& velt = bus.AddVelt(DeviceModel{}, behaviour);
    ASSERT_TRUE(Send(bus.Open(velt.path(), false), SwitchReport()));
    EXPECT_FALSE(velt.present());
    // Nothing looks at the bus until after the device is back: it still came first.
    clock.Advance(600);
    EXPECT_EQ(bus.AddDevice(DeviceModel{}), "/sim/hidraw2");
    EXPECT_EQ(velt.path(), "/sim/hidraw1");
}

TEST_F(SimulatedVeltTest, ApplicationModeSwitchesOnlyOnTheExactCommand) {
    SimulatedVelt& velt = bus.AddVelt(DeviceModel{});
    const HidHandle handle = bus.Open(velt.path(), false);
    EXPECT_TRUE(Send(handle, Report({0xDE, 0xFA, 0xCE, 0x01})));
    EXPECT_TRUE(Send(handle, SwitchReport(3)));  // too short to hold the command
    EXPECT_TRUE(Send(handle, DataReport(1)));
    EXPECT_FALSE(Send(handle, Report({}, 42)));  // longer than the device takes
    clock.Advance(10'000);
    EXPECT_EQ(velt.modeSwitches(), 0);
    EXPECT_EQ(velt.productId(), applicationProductId);
    // Data sent to the application is seen but not stored.
    ASSERT_EQ(velt.reports().size(), 4u);
    const Bytes data = DataReport(1);
    EXPECT_EQ(velt.reports()[2].bytes, Bytes(data.begin() + 1, data.end()));
    EXPECT_EQ(velt.reports()[2].productId, applicationProductId);
    EXPECT_TRUE(velt.records().empty());

    EXPECT_TRUE(Send(handle, SwitchReport(4)));
    clock.Advance(10'000);
    EXPECT_EQ(velt.productId(), bootloaderProductId);
}

TEST_F(SimulatedVeltTest, IgnoredSwitchIsAcceptedButTheDeviceStays) {
    VeltBehaviour behaviour;
    behaviour.ignoreSwitch = true;
    SimulatedVelt& velt = bus.AddVelt(DeviceModel{}, behaviour);
    const std::string path = velt.path();
    const HidHandle handle = bus.Open(path, false);
    EXPECT_TRUE(Send(handle, SwitchReport()));
    clock.Advance(60'000);
    EXPECT_EQ(velt.modeSwitches(), 1);
    EXPECT_EQ(velt.path(), path);
    HiddAttributes attributes;
    EXPECT_TRUE(bus.GetAttributes(handle, attributes));
    EXPECT_EQ(attributes.ProductID, applicationProductId);
}

TEST_F(SimulatedVeltTest, BootloaderStoresPayloadsAndRefusesMalformedReports) {
    SimulatedVelt& velt = bus.AddVelt(DeviceModel{});
    EXPECT_EQ(velt.Summary(),
              "mode-switches=0 records=0 bytes=0 "
              "sha256=e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    std::vector<bool> hooked;
    bus.SetReportHook([&](const ReportRecord& record) { hooked.push_back(record.accepted); });
    const HidHandle handle = ToBootloader(velt);

    EXPECT_TRUE(Send(handle, DataReport(1)));
    EXPECT_FALSE(Send(handle, Report({1, 2, 3}, 40)));  // short of a payload
    EXPECT_FALSE(Send(handle, Report({1, 2, 3}, 42)));
    EXPECT_FALSE(bus.SetFeature(handle, DataReport(2).data(), 0));
    EXPECT_FALSE(bus.SetFeature(handle, nullptr, 41));
    EXPECT_TRUE(Send(handle, DataReport(3)));
    EXPECT_EQ(hooked, (std::vector<bool>{true, true, false, false, false, false, true}));
    EXPECT_EQ(velt.reports()[2].bytes.size(), 39u);
    EXPECT_EQ(velt.reports()[2].productId, bootloaderProductId);

    ASSERT_EQ(velt.records().size(), 2u);
    const Bytes first = DataReport(1);
    EXPECT_TRUE(std::equal(velt.records()[0].begin(), velt.records()[0].end(), first.begin() + 1));
    Sha256 hasher;
    hasher.Update(first.data() + 1, 40);
    hasher.Update(DataReport(3).data() + 1, 40);
    EXPECT_EQ(velt.Summary(),
              "mode-switches=1 records=2 bytes=80 sha256=" + Sha256::Hex(hasher.Finish()));
}

TEST_F(SimulatedVeltTest, RefusedRecordIsNotStoredAndTheDeviceStays) {
    VeltBehaviour behaviour;
    behaviour.refuseRecord = 2;
    SimulatedVelt& velt = bus.AddVelt(DeviceModel{}, behaviour);
    const HidHandle handle = ToBootloader(velt);
    EXPECT_TRUE(Send(handle, DataReport(10)));
    EXPECT_FALSE(Send(handle, DataReport(20)));
    EXPECT_TRUE(Send(handle, DataReport(30)));
    ASSERT_EQ(velt.records().size(), 2u);
    EXPECT_EQ(velt.records()[1][0], 30);
}

TEST_F(SimulatedVeltTest, VanishesForGoodAfterTheGivenRecord) {
    VeltBehaviour behaviour;
    behaviour.vanishAfter = 2;
    SimulatedVelt& velt = bus.AddVelt(DeviceModel{}, behaviour);
    const HidHandle handle = ToBootloader(velt);
    EXPECT_TRUE(Send(handle, DataReport(1)));
    EXPECT_TRUE(velt.present());
    EXPECT_TRUE(Send(handle, DataReport(2)));
    EXPECT_FALSE(Send(handle, DataReport(3)));
    clock.Advance(60'000);
    EXPECT_FALSE(velt.present());
    EXPECT_EQ(velt.records().size(), 2u);

    bus.Replug(velt);
    EXPECT_EQ(velt.productId(), bootloaderProductId);
}

TEST_F(SimulatedVeltTest, UnplugDuringTheSwitchCancelsTheReturn) {
    SimulatedVelt& velt = bus.AddVelt(DeviceModel{});
    ASSERT_TRUE(Send(bus.Open(velt.path(), false), SwitchReport()));
    clock.Advance(10);
    bus.Unplug(velt.path());
    clock.Advance(60'000);
    EXPECT_FALSE(velt.present());
    bus.Replug(velt);
    clock.Advance(60'000);
    EXPECT_EQ(velt.path(), "/sim/hidraw1");
    EXPECT_EQ(velt.productId(), applicationProductId);
}

}  // namespace
}  // namespace velt::sim
