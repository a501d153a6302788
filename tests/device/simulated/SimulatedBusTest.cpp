#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
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
const Bytes kSwitch(protocol::modeSwitchCommand.begin(), protocol::modeSwitchCommand.end());

// '.' when the call returns, else a letter for the kind of DeviceError it throws.
template <typename Call>
char Outcome(Call&& call) try {
    call();
    return '.';
} catch (const DeviceError& error) {
    return "PBDRIN"[static_cast<int>(error.kind())];
}

struct SimulatedBusTest : ::testing::Test {
    VirtualClock clock;
    SimulatedBus bus{clock};
};

TEST_F(SimulatedBusTest, SwitchLeavesAtDetachAndReturnsAsBootloaderUnlessIgnored) {
    SimulatedVelt& stubborn = bus.AddVelt({}, {.ignoreSwitch = true});
    SimulatedVelt& velt = bus.AddVelt({}, {.detachMs = 50, .reenumerateMs = 500});
    bus.Open(stubborn.path())->SendFeatureReport(Report(kSwitch));
    const auto device = bus.Open(velt.path());
    device->SendFeatureReport(Report(kSwitch));
    const auto length = [&device] { device->FeatureReportLength(); };
    clock.Advance(49);
    EXPECT_EQ(Outcome(length), '.');
    clock.Advance(1);
    EXPECT_EQ(Outcome(length), 'D');
    clock.Advance(499);
    EXPECT_EQ(bus.presentPaths(), std::vector<std::string>{"/sim/hidraw0"});
    clock.Advance(1);
    const auto listed = bus.ListInterfaces();
    EXPECT_EQ(listed.at(1).path, "/sim/hidraw2");
    EXPECT_EQ(listed.at(1).productId, protocol::bootloaderProductId);
    EXPECT_EQ(Outcome(length), 'D');        // back, but not for the object opened before
    EXPECT_EQ(stubborn.modeSwitches(), 1);  // counted, but it stayed all along
    EXPECT_EQ(listed.at(0).productId, protocol::applicationProductId);
}

// A refusal leaves the device there; one that vanished takes the next. Scripts pin the digest.
TEST_F(SimulatedBusTest, RefusalAndLeavingTheBusAreToldApart) {
    const std::tuple<VeltBehaviour, std::vector<Bytes>, const char*> cases[] = {
        {{.refuseRecord = 2}, {Report({}), Report({}), Report({})}, ".R."},
        {{.vanishAfter = 2}, {Report({}), Report({}), Report({})}, "..D"},
        {{}, {Report({}, 42), Report({}, 40), Report({}), Report(Bytes(40, 0x11))}, "RR.."},
    };
    const SimulatedVelt* velt = nullptr;
    for (const auto& [behaviour, reports, expected] : cases) {
        SCOPED_TRACE(expected);
        velt = &bus.AddVelt({}, behaviour);
        bus.Open(velt->path())->SendFeatureReport(Report(kSwitch));
        clock.Advance(1'000);
        const auto device = bus.Open(velt->path());
        std::string outcomes;
        for (const Bytes& report : reports) {
            outcomes += Outcome([&] { device->SendFeatureReport(report); });
        }
        EXPECT_EQ(outcomes, expected);
        EXPECT_EQ(static_cast<long>(velt->records()), std::ranges::count(outcomes, '.'));
    }
    EXPECT_EQ(velt->Summary(),
              "mode-switches=1 records=2 bytes=80 "
              "sha256=222b1062dc89785876e0f9440cf7be5dccce08d27c048b15f22c258f698a8a7e");
}

TEST_F(SimulatedBusTest, EachInjectedFailureBreaksItsOwnCallWithItsKind) {
    const std::pair<FailureInjection, const char*> cases[] = {
        {{.open = DeviceErrorKind::Busy}, "B"},
        {{.featureLength = true}, ".I..."},
        {{.manufacturer = true}, "..I.."},
        {{.product = true}, "...I."},
        {{.serial = true}, "....I"},
    };
    for (const auto& [failures, expected] : cases) {
        SCOPED_TRACE(expected);
        std::unique_ptr<HidDevice> device;
        std::string outcomes{Outcome([&] { device = bus.Open(bus.AddDevice({}, failures)); })};
        for (int call = 0; device && call < 4; ++call) {
            outcomes += Outcome([&] {
                call == 0 ? void(device->FeatureReportLength())
                          : void(device->GetString(static_cast<HidString>(call - 1)));
            });
        }
        EXPECT_EQ(outcomes, expected);
    }
    EXPECT_EQ(bus.openDeviceCount(), 0u);
}

}  // namespace
}  // namespace velt::sim
