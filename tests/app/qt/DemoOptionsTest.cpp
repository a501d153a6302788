#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "DemoOptions.h"

namespace velt {
namespace {

struct Parsed {
    std::optional<int> status;
    DemoOptions options;
    std::string out, err;
};

Parsed Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "velt-usb-firmware-demo");
    Parsed result;
    std::ostringstream out, err;
    result.status =
        ParseDemoOptions(static_cast<int>(args.size()), args.data(), result.options, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}

TEST(DemoOptions, OptionsReachTheModelAndBadOnesStopWithAReason) {
    const Parsed parsed = Parse({"--product-id", "b038", "--vendor-id", "0x04D8", "--product",
                                 "P<1>", "--no-serial", "--feature-length", "65", "--detach-ms",
                                 "10", "--reenumerate-ms", "20", "--refuse-record", "5"});
    ASSERT_FALSE(parsed.status) << parsed.err;
    const DemoOptions& o = parsed.options;
    EXPECT_EQ(o.model.productId, 0xB038);
    EXPECT_EQ(o.model.vendorId, 0x04D8);
    EXPECT_EQ(o.model.product, std::optional<std::string>("P<1>"));
    EXPECT_FALSE(o.model.serial);
    EXPECT_EQ(o.model.featureReportLength, 65);
    EXPECT_EQ(o.behaviour.detachMs, 10u);
    EXPECT_EQ(o.behaviour.reenumerateMs, 20u);
    EXPECT_EQ(o.behaviour.refuseRecord, 5);

    for (const auto& args : std::vector<std::vector<const char*>>{{"--product-id", "10000"},
                                                                  {"--vendor-id", "0x"},
                                                                  {"--serial", "A", "--no-serial"},
                                                                  {"--feature-length", "70000"}}) {
        const Parsed bad = Parse(args);
        ASSERT_TRUE(bad.status) << args.front();
        EXPECT_NE(*bad.status, 0) << args.front();
        EXPECT_FALSE(bad.err.empty()) << args.front();
    }
    const Parsed help = Parse({"--help"});
    ASSERT_TRUE(help.status);
    EXPECT_EQ(*help.status, 0);
}

TEST(DemoOptions, OtherDevicesComeBeforeTheVeltAndTheResultLineNamesTheOutcome) {
    VirtualClock clock;
    sim::SimulatedBus bus(clock);
    DemoOptions options;
    options.otherDevices = 2;
    sim::SimulatedVelt* velt = PopulateBus(bus, options);
    ASSERT_NE(velt, nullptr);
    const auto paths = bus.presentPaths();
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths.back(), velt->path());

    // Without a device the line reads as that of a device that got nothing.
    EXPECT_EQ(DemoResultLine(nullptr, UpdateOutcome::None),
              DemoResultLine(velt, UpdateOutcome::None));
    EXPECT_EQ(DemoResultLine(velt, UpdateOutcome::Success),
              "simulated device: " + velt->Summary() + " result=success");
    EXPECT_TRUE(DemoResultLine(velt, UpdateOutcome::Failure).ends_with(" result=failure"));
    EXPECT_TRUE(DemoResultLine(velt, UpdateOutcome::Cancelled).ends_with(" result=cancelled"));

    sim::SimulatedBus empty(clock);
    options.noDevice = true;
    EXPECT_EQ(PopulateBus(empty, options), nullptr);
    EXPECT_EQ(empty.presentPaths().size(), 2u);
}

}  // namespace
}  // namespace velt
