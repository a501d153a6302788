#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "device/simulated/BusOptions.h"

namespace velt::sim {
namespace {

// The setup the options give, and the reason a bad one was refused (empty: none).
std::pair<BusSetup, std::string> Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "program");
    BusSetup setup;
    CLI::App app;
    BusOptions options(setup, "--version");
    options.AddTo(app);
    try {
        app.parse(static_cast<int>(args.size()), args.data());
        options.Apply();
    } catch (const CLI::ParseError& error) {
        return {setup, error.what()};
    }
    return {setup, ""};
}

TEST(BusOptions, OptionsReachTheModelAndBadOnesAreRefusedByName) {
    const auto [o, error] =
        Parse({"--product-id", "b038", "--vendor-id", "0x04D8", "--product", "P<1>", "--no-serial",
               "--feature-length", "65", "--detach-ms", "10", "--reenumerate-ms", "20"});
    ASSERT_EQ(error, "");
    const DeviceModel& m = o.model;
    EXPECT_EQ(std::tuple(m.productId, m.vendorId, m.featureReportLength, m.serial.has_value()),
              std::tuple(0xB038, 0x04D8, 65, false));
    // The manufacturer was not given: it keeps the default.
    EXPECT_EQ(std::tuple(m.manufacturer, m.product), std::tuple("Velt Instruments", "P<1>"));
    EXPECT_EQ(std::pair(o.behaviour.detachMs, o.behaviour.reenumerateMs), std::pair(10u, 20u));
    // Faults for every device or one; devices plugged later count; one value an option.
    const auto [o2, error2] =
        Parse({"--devices", "2", "--plug-ms", "500", "--refuse-record", "4@3", "--vanish-after",
               "7", "--refuse-record", "2@1", "--plug-ms", "900", "--vanish-after", "1@2"});
    ASSERT_EQ(error2, "");
    std::vector<std::pair<int, int>> faults;
    for (int k = 1; k <= 4; ++k) {
        faults.emplace_back(BehaviourOf(o2, k).refuseRecord, BehaviourOf(o2, k).vanishAfter);
    }
    EXPECT_EQ(faults, (std::vector<std::pair<int, int>>{{2, 7}, {0, 1}, {4, 7}, {0, 7}}));
    using Args = std::vector<const char*>;
    for (const Args& args :
         {Args{"--vendor-id", "0x"}, Args{"--serial", "A", "--no-serial"},
          Args{"--feature-length", "70000"}, Args{"--refuse-record", "3@2"},
          Args{"--vanish-after", "3@0", "--devices", "2"}, Args{"--refuse-record", "-1"},
          Args{"--vanish-after", "1@x"}, Args{"--devices", "65"}, Args{"--plug-ms", "-5"},
          Args{"--refuse-record", "0"}, Args{"--vanish-after", "0@1"}}) {
        EXPECT_NE(Parse(args).second.find(args.front()), std::string::npos) << args.front();
    }
}

// Devices get their own locations and serial numbers, the later ones on time.
TEST(PopulateBus, OtherDevicesComeFirstAndEachVeltHasItsPortAndSerial) {
    VirtualClock clock;
    SimulatedBus bus(clock);
    EXPECT_TRUE(PopulateBus(bus, Parse({"--no-device", "--other-devices", "2"}).first).empty());
    const auto velts = PopulateBus(bus, Parse({"--other-devices", "2", "--devices", "2", "--serial",
                                               "VU-0998", "--plug-ms", "500"})
                                            .first);
    ASSERT_EQ(velts.size(), 3u);
    EXPECT_EQ(velts[0]->path(), "sim:hid4");  // after two others each time
    EXPECT_FALSE(velts[2]->present());
    clock.Advance(500);
    std::vector<std::string> seen;
    for (const SimulatedVelt* velt : velts) {
        seen.push_back(DeviceLine(*velt).substr(0, 22) +
                       bus.Open(velt->path())->GetString(HidString::SerialNumber));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"simulated device 1-1: VU-0998",
                                              "simulated device 1-2: VU-0999",
                                              "simulated device 1-3: VU-1000"}));
    EXPECT_EQ(ResultLine(nullptr, "none"), ResultLine(velts[0], "none"));
}

}  // namespace
}  // namespace velt::sim
