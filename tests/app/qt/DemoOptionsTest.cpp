#include <algorithm>
#include <sstream>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "app/DemoOptions.h"

namespace velt {
namespace {

// The exit status the command line stops with (-1: it carries on), the options, and what
// it wrote to standard error.
std::tuple<int, DemoOptions, std::string> Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "velt-usb-firmware-demo");
    std::ostringstream out, err;
    DemoOptions o;
    const auto status = ParseDemoOptions(static_cast<int>(args.size()), args.data(), o, out, err);
    // Help shows the simulated device's options too.
    EXPECT_EQ(status == 0, out.str().find("--product-id") != std::string::npos) << out.str();
    return {status.value_or(-1), o, err.str()};
}

// The demo's own options beside the simulated bus's; a bad one stops it with one short,
// readable line.
TEST(DemoOptions, ImageBusAndTimesReachTheOptionsAndBadOnesStopWithOneLine) {
    const auto [status, o, err] = Parse({"IMG", "--devices", "3", "--close-after-ms", "5"});
    ASSERT_EQ(status, -1) << err;
    EXPECT_EQ(std::tuple(o.image, o.bus.devices, o.closeAfterMs), std::tuple("IMG", 3, 5));
    for (const char* value : {"0", "86400001"}) {
        const auto [bad, _, text] = Parse({"--close-after-ms", value});
        EXPECT_EQ(bad, 2);
        EXPECT_EQ(std::ranges::count(text, '\n'), 1) << text;
        EXPECT_LT(text.size(), 100u) << text;
    }
    // Escapes instead of control characters.
    const auto [bad, _, text] = Parse({"--vendor-id", "a\x1b[2J\nb\xff"});
    EXPECT_EQ(bad, 2);
    EXPECT_NE(text.find("a\\x1b[2J\\nb\\xff"), std::string::npos) << text;
    EXPECT_EQ(std::get<0>(Parse({"--help"})), 0);
}

}  // namespace
}  // namespace velt
