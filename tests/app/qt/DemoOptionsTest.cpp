#include <sstream>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "app/DemoOptions.h"

namespace velt {
namespace {

// The exit status the command line stops with (-1: it carries on), and the options. Whatever
// stops it with a failure says why in one line naming the option, into `errText` when given;
// help shows every option.
std::pair<int, DemoOptions> Parse(std::vector<const char*> args, std::string* errText = nullptr) {
    args.insert(args.begin(), "velt-usb-firmware-demo");
    std::ostringstream out, err;
    DemoOptions o;
    const auto status = ParseDemoOptions(static_cast<int>(args.size()), args.data(), o, out, err);
    if (status.value_or(0) != 0) {
        EXPECT_EQ(status, 2);
        EXPECT_EQ(std::ranges::count(err.str(), '\n'), 1) << err.str();
        EXPECT_NE(err.str().find(args[1]), std::string::npos) << err.str();
    }
    EXPECT_EQ(status == 0, out.str().find("--product-id") != std::string::npos) << out.str();
    if (errText != nullptr) {
        *errText = err.str();
    }
    return {status.value_or(-1), o};
}

TEST(DemoOptions, OptionsReachTheModelAndBadOnesStopWithAReason) {
    const auto [status, o] =
        Parse({"--product-id", "b038", "--vendor-id", "0x04D8", "--product", "P<1>", "--no-serial",
               "--feature-length", "65", "--detach-ms", "10", "--reenumerate-ms", "20"});
    ASSERT_EQ(status, -1);
    const sim::DeviceModel& m = o.model;
    EXPECT_EQ(std::tuple(m.productId, m.vendorId, m.featureReportLength, m.serial.has_value()),
              std::tuple(0xB038, 0x04D8, 65, false));
    // The manufacturer was not given: it keeps the default.
    EXPECT_EQ(std::tuple(m.manufacturer, m.product), std::tuple("Velt Instruments", "P<1>"));
    EXPECT_EQ(std::pair(o.behaviour.detachMs, o.behaviour.reenumerateMs), std::pair(10u, 20u));
    // Faults for every device or one; devices plugged later count; one value an option.
    const auto [status2, o2] =
        Parse({"--devices", "2", "--plug-ms", "500", "--refuse-record", "4@3", "--vanish-after",
               "7", "--refuse-record", "2@1", "--plug-ms", "900", "IMG", "--vanish-after", "1@2"});
    ASSERT_EQ(status2, -1);
    EXPECT_EQ(o2.image, "IMG");
    EXPECT_EQ(o2.plugMs, (std::vector<std::uint64_t>{500, 900}));
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
          Args{"--refuse-record", "0"}, Args{"--vanish-after", "0@1"},
          Args{"--close-after-ms", "86400001"}}) {
        EXPECT_GT(Parse(args).first, 0) << args.front();
    }
    // A bad value is shown readably: a short range, escapes instead of control characters.
    std::string err;
    EXPECT_EQ(Parse({"--close-after-ms", "0"}, &err).first, 2);
    EXPECT_LT(err.size(), 100u) << err;
    EXPECT_EQ(Parse({"--vendor-id", "a\x1b[2J\nb\xff"}, &err).first, 2);
    EXPECT_NE(err.find("a\\x1b[2J\\nb\\xff"), std::string::npos) << err;
    EXPECT_EQ(Parse({"--help"}).first, 0);
}

// Devices get their own locations and serial numbers, the later ones on time.
TEST(DemoOptions, OtherDevicesComeFirstAndEachVeltHasItsPortAndSerial) {
    VirtualClock clock;
    sim::SimulatedBus bus(clock);
    EXPECT_TRUE(PopulateBus(bus, Parse({"--no-device", "--other-devices", "2"}).second).empty());
    const auto velts = PopulateBus(bus, Parse({"--other-devices", "2", "--devices", "2", "--serial",
                                               "VU-0998", "--plug-ms", "500"})
                                            .second);
    ASSERT_EQ(velts.size(), 3u);
    EXPECT_EQ(velts[0]->path(), "/sim/hidraw4");  // after two others each time
    EXPECT_FALSE(velts[2]->present());
    clock.Advance(500);
    std::vector<std::string> seen;
    for (const sim::SimulatedVelt* velt : velts) {
        seen.push_back(DemoDeviceLine(*velt).substr(0, 22) +
                       bus.Open(velt->path())->GetString(HidString::SerialNumber));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"simulated device 1-1: VU-0998",
                                              "simulated device 1-2: VU-0999",
                                              "simulated device 1-3: VU-1000"}));
    EXPECT_EQ(DemoResultLine(nullptr, UpdateOutcome::None),
              DemoResultLine(velts[0], UpdateOutcome::None));
}

}  // namespace
}  // namespace velt
