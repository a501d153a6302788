#include <algorithm>
#include <sstream>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "app/DemoOptions.h"

namespace velt {
namespace {

// The exit status the command line stops with (-1: it carries on), the options, and what
// it wrote.
std::tuple<int, DemoOptions, std::string> Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "velt-usb-firmware-demo");
    std::ostringstream out;
    DemoOptions o;
    const auto status = ParseDemoOptions(static_cast<int>(args.size()), args.data(), o, out, out);
    return {status.value_or(-1), o, out.str()};
}

// The demo's own options beside the simulated bus's; a bad one stops it with one short line
// that shows the value with escapes instead of control characters.
TEST(DemoOptions, ImageBusAndTimesReachTheOptionsAndBadOnesStopWithOneLine) {
    const auto [status, o, text] = Parse({"IMG", "--devices", "3", "--close-after-ms", "5"});
    ASSERT_EQ(status, -1) << text;
    EXPECT_EQ(std::tuple(o.image, o.bus.devices, o.closeAfterMs), std::tuple("IMG", 3, 5));
    EXPECT_EQ(std::get<0>(Parse({"--close-after-ms", "86400001"})), 2);
    EXPECT_LT(std::get<2>(Parse({"--close-after-ms", "0"})).size(), 100u);  // the range, briefly
    const auto [bad, _, line] = Parse({"--vendor-id", "a\x1b[2J\nb\xff"});
    EXPECT_EQ(std::pair(bad, std::ranges::count(line, '\n')), std::pair(2, 1L)) << line;
    EXPECT_NE(line.find("a<U+001B>[2J<U+000A>b<0xFF>"), std::string::npos) << line;
    const auto help = Parse({"--help"});  // with the simulated device's options
    EXPECT_EQ(std::get<0>(help), 0);
    EXPECT_NE(std::get<2>(help).find("--product-id"), std::string::npos);
}

}  // namespace
}  // namespace velt
