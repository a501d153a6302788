#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/simulated/SimulatedBus.h"

namespace velt::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A report as the tool sends it: report ID 0, then the payload, padded to `length`.
Bytes Report(Bytes payload, std::size_t length = 41) {
    payload.insert(payload.begin(), 0x00);
    payload.resize(length, 0x00);
    return payload;
}

// '.' when the call returns, else a letter for the kind of DeviceError it throws.
template <typename Call>
char Outcome(Call&& call) try {
    call();
    return '.';
} catch (const DeviceError& error) {
    return "PBDRIN"[static_cast<int>(error.kind())];
}

// Refused records, a device that leaves mid-update and injected failures are left to the
// tests of the code that meets them.
TEST(SimulatedBus, ASwitchLeavesAtDetachAndReturnsAsABootloaderThatStoresWholeRecords) {
    VirtualClock clock;
    SimulatedBus bus{clock};
    SimulatedVelt& velt = bus.AddVelt({}, {.detachMs = 50, .reenumerateMs = 500});
    auto device = bus.Open(velt.path());
    device->SendFeatureReport(
        Report({protocol::modeSwitchCommand.begin(), protocol::modeSwitchCommand.end()}));
    const auto length = [&] { return Outcome([&] { device->FeatureReportLength(); }); };
    clock.Advance(49);
    EXPECT_EQ(length(), '.');
    clock.Advance(1);
    EXPECT_EQ(length(), 'D');
    clock.Advance(499);
    EXPECT_TRUE(bus.presentPaths().empty());
    clock.Advance(1);
    EXPECT_EQ(bus.ListInterfaces().at(0).productId, protocol::bootloaderProductId);
    EXPECT_EQ(length(), 'D');  // back, but not for the object opened before
    device = bus.Open("/sim/hidraw1");
    std::string outcomes;
    for (const Bytes& report : {Report({}, 42), Report({}, 40), Report(Bytes(40, 0x11))}) {
        outcomes += Outcome([&] { device->SendFeatureReport(report); });
    }
    EXPECT_EQ(outcomes, "RR.");  // longer than the device's report, shorter than a record
    EXPECT_EQ(velt.firmware(), Bytes(40, 0x11));
}

}  // namespace
}  // namespace velt::sim
