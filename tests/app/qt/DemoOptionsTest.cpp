#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "app/DemoOptions.h"

namespace velt {
namespace {

// The exit status the command line stops with, if any; the reason goes to `err`.
std::optional<int> Parse(std::vector<const char*> args, DemoOptions& options, std::string& err) {
    args.insert(args.begin(), "velt-usb-firmware-demo");
    std::ostringstream out, errors;
    const auto status =
        ParseDemoOptions(static_cast<int>(args.size()), args.data(), options, out, errors);
    err = errors.str();
    return status;
}

TEST(DemoOptions, OptionsReachTheModelAndBadOnesStopWithAReason) {
    DemoOptions o;
    std::string err;
    ASSERT_FALSE(Parse({"--product-id", "b038", "--vendor-id", "0x04D8", "--product", "P<1>",
                        "--no-serial", "--feature-length", "65", "--detach-ms", "10",
                        "--reenumerate-ms", "20", "--refuse-record", "5"},
                       o, err))
        << err;
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
        DemoOptions bad;
        EXPECT_NE(Parse(args, bad, err).value_or(0), 0) << args.front();
        EXPECT_FALSE(err.empty()) << args.front();
    }
    DemoOptions help;
    EXPECT_EQ(Parse({"--help"}, help, err), std::optional<int>(0));
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

    EXPECT_EQ(DemoResultLine(velt, UpdateOutcome::Success),
              "simulated device: " + velt->Summary() + " result=success");
    EXPECT_TRUE(DemoResultLine(velt, UpdateOutcome::Cancelled).ends_with(" result=cancelled"));
    // Without a device the line reads as that of a device that got nothing.
    EXPECT_EQ(DemoResultLine(nullptr, UpdateOutcome::None),
              DemoResultLine(velt, UpdateOutcome::None));

    sim::SimulatedBus empty(clock);
    options.noDevice = true;
    EXPECT_EQ(PopulateBus(empty, options), nullptr);
    EXPECT_EQ(empty.presentPaths().size(), 2u);
}

}  // namespace
}  // namespace velt
