#include <sstream>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "app/DemoOptions.h"

namespace velt {
namespace {

// The exit status the command line stops with (-1: it carries on), and the options. Whatever
// stops it with a failure says why in one line naming the option; help shows every option.
std::pair<int, DemoOptions> Parse(std::vector<const char*> args) {
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
    using Args = std::vector<const char*>;
    for (const Args& args : {Args{"--vendor-id", "0x"}, Args{"--serial", "A", "--no-serial"},
                             Args{"--feature-length", "70000"}}) {
        EXPECT_GT(Parse(args).first, 0) << args.front();
    }
    EXPECT_EQ(Parse({"--help"}).first, 0);
}

TEST(DemoOptions, OtherDevicesComeFirstAndWithoutAVeltTheResultLineTellsOfNothingSent) {
    VirtualClock clock;
    sim::SimulatedBus bus(clock);
    EXPECT_EQ(PopulateBus(bus, Parse({"--no-device", "--other-devices", "2"}).second), nullptr);
    const sim::SimulatedVelt* velt = PopulateBus(bus, Parse({"--other-devices", "2"}).second);
    ASSERT_EQ(velt ? velt->path() : "", "/sim/hidraw4");  // after two others each time
    EXPECT_EQ(DemoResultLine(nullptr, UpdateOutcome::None),
              DemoResultLine(velt, UpdateOutcome::None));
}

}  // namespace
}  // namespace velt
