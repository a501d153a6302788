#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"

namespace velt::sim {
namespace {

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;
const Bytes kSwitch(protocol::modeSwitchCommand.begin(), protocol::modeSwitchCommand.end());

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
    device->SendFeatureReport(Report(kSwitch));
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
    device = bus.Open("sim:hid1");
    std::string outcomes;
    for (const Bytes& report : {Report({}, 42), Report({}, 40), Report(Bytes(40, 0x11))}) {
        outcomes += Outcome([&] { device->SendFeatureReport(report); });
    }
    EXPECT_EQ(outcomes, "RR.");  // longer than the device's report, shorter than a record
    EXPECT_EQ(velt.firmware(), Bytes(40, 0x11));
}

// Locations: given or the next free port, kept across re-enumerations and the reboot into the
// new firmware, which waits for the reports to stop; the monitor sees a device plugged later.
TEST(SimulatedBus, ADeviceKeepsItsLocationAcrossItsReturnsAndRebootsOnceReportsStop) {
    VirtualClock clock;
    SimulatedBus bus{clock};
    bus.AddDevice({.location = "1-2"});
    SimulatedVelt& first = bus.AddVelt({});
    SimulatedVelt& later = bus.PlugVeltAt(
        1000, {.serial = "VU-9"}, {.detachMs = 0, .reenumerateMs = 100, .rebootAfterMs = 300});
    EXPECT_EQ(std::pair(first.location(), later.location()), std::pair("1-1"s, "1-3"s));
    BusMonitor monitor(bus, clock);
    EXPECT_FALSE(monitor.WaitForChange(900));
    EXPECT_TRUE(monitor.WaitForChange(500));
    EXPECT_EQ(clock.NowMs(), 1000u);
    EXPECT_EQ(bus.changes(), 3u);  // two plugged at the start, one now
    bus.Open(later.path())->SendFeatureReport(Report(kSwitch));
    clock.Advance(100);
    const auto where = [&] {
        std::string seen;
        for (const HidInterfaceInfo& info : bus.ListInterfaces()) {
            seen += info.location + (info.productId == protocol::bootloaderProductId ? "B " : " ");
        }
        return seen;
    };
    EXPECT_EQ(where(), "1-2 1-1 1-3B ");
    auto device = bus.Open(later.path());
    const auto refused = [&] {
        return Outcome([&] { device->SendFeatureReport(Report({}, 40)); });
    };
    EXPECT_EQ(refused(), 'R');  // before any record: no reboot yet
    clock.Advance(400);
    device->SendFeatureReport(Report(Bytes(40, 1)));
    clock.Advance(299);
    EXPECT_EQ(refused(), 'R');  // puts the reboot off
    clock.Advance(299);
    EXPECT_TRUE(later.present());
    clock.Advance(1);
    EXPECT_EQ(where(), "1-2 1-1 ");
    clock.Advance(100);
    EXPECT_EQ(where(), "1-2 1-1 1-3 ");  // the new firmware, same serial
    EXPECT_EQ(bus.Open(later.path())->GetString(HidString::SerialNumber), "VU-9");
}

// Each thread switches its device, finds it back by its location and sends it records 20 ms
// apart: each device stores its own records, each at its own pace.
TEST(SimulatedBus, TwoThreadsFlashTwoDevicesAtOnceWithoutCrossTalk) {
    VirtualClock clock;
    SimulatedBus bus{clock};
    SimulatedVelt* velts[] = {&bus.AddVelt({}, {.detachMs = 50, .reenumerateMs = 500}),
                              &bus.AddVelt({}, {.detachMs = 10, .reenumerateMs = 30})};
    const auto flash = [&](SimulatedVelt& velt, std::uint8_t fill) {
        bus.Open(velt.path())->SendFeatureReport(Report(kSwitch));
        std::string path;
        while (path.empty()) {
            clock.SleepMs(7);
            for (const HidInterfaceInfo& info : bus.ListInterfaces()) {
                if (info.location == velt.location() &&
                    info.productId != velt.reports()[0].productId) {
                    path = info.path;
                }
            }
        }
        const auto device = bus.Open(path);
        for (int i = 0; i < 20; ++i) {
            device->SendFeatureReport(Report(Bytes(40, fill)));
            clock.SleepMs(20);
        }
        clock.ThreadEnded();
    };
    std::vector<std::thread> threads;
    clock.ThreadStarted();
    for (std::uint8_t k = 0; k < 2; ++k) {
        clock.ThreadStarted();
        threads.emplace_back(flash, std::ref(*velts[k]), k + 1);
    }
    clock.ThreadEnded();
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::uint8_t k = 0; k < 2; ++k) {
        EXPECT_EQ(velts[k]->firmware(), Bytes(20 * 40, k + 1));
        const std::vector<ReportRecord>& reports = velts[k]->reports();
        for (std::size_t i = 2; i < reports.size(); ++i) {
            EXPECT_EQ(reports[i].timeMs - reports[i - 1].timeMs, 20u) << i;
        }
    }
}

}  // namespace
}  // namespace velt::sim
