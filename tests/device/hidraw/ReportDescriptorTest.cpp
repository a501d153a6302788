#include "device/hidraw/ReportDescriptor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace velt::hidraw {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The feature report length of the pieces joined, and whether the parse stopped early.
std::pair<int, bool> Feature(std::initializer_list<Bytes> pieces) {
    Bytes bytes;
    for (const Bytes& piece : pieces) {
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    }
    const ReportDescriptorSummary summary = ParseReportDescriptor(bytes);
    return {summary.featureReportByteLength, summary.malformed};
}

TEST(ReportDescriptor, LengthsPushPopAndHostileItems) {
    const Bytes vendor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95,  // 64, 64, 40
                          0x40, 0x81, 0x02, 0x91, 0x02, 0x95, 0x28, 0xB1, 0x02, 0xC0};
    EXPECT_EQ(ParseReportDescriptor(vendor), (ReportDescriptorSummary{0xFF00, 0x01, 65, 65, 41}));
    const Bytes four = {0x75, 0x08, 0x95, 0x04};  // Report Size 8, Count 4: with `feature`, 5
    const Bytes feature = {0xB1, 0x02};
    const Bytes nested = {0x85, 0x05, 0xA1, 0x01, 0xB1, 0x02, 0xA1, 0x01, 0xB1, 0x02, 0xC0, 0xC0};
    const Bytes pushes(kReportDescriptorPushDepth, 0xA4), pops(kReportDescriptorPushDepth, 0xB4);
    const Bytes inner = {0xA4, 0x75, 0x01, 0x95, 0x01, 0x85, 0x07, 0xB1, 0x02, 0xB4};  // ID 7
    const Bytes longItems = {0xFE, 0x04, 0x10, 0xB1, 0x02, 0x95, 0xFF, 0xFE, 0x00, 0x11};
    const Bytes huge = {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF};  // size, count
    const Bytes ids = {0x85, 0x01, 0xB1, 0x02, 0x85, 0x02, 0x95, 0x20, 0xB1, 0x02, 0x85, 0x03};
    const Bytes bits = {0x75, 0x01, 0x95, 0x05, 0xB1, 0x02, 0x75, 0x06, 0x95, 0x01, 0xB1, 0x01};
    using R = std::pair<int, bool>;  // expected length, malformed
    EXPECT_EQ(Feature({four, ids, {0x95, 0x05}, feature}), R(33, false));  // the largest wins
    EXPECT_EQ(Feature({bits}), R(3, false));                    // 11 bits, padding included
    EXPECT_EQ(Feature({four, nested, feature}), R(13, false));  // one report ID, in and out
    EXPECT_EQ(Feature({four, inner, feature}), R(5, false));    // Pop restores size, count, ID
    EXPECT_EQ(Feature({four, pushes, pops, feature}), R(5, false));
    EXPECT_EQ(Feature({four, longItems, feature}), R(5, false));    // skipped whole, data unread
    EXPECT_EQ(Feature({huge, feature, feature}), R(65535, false));  // saturates, no overflow
    // Malformed: what was summed before the offending item counts.
    EXPECT_EQ(Feature({four, feature, pushes, {0xA4, 0x95, 0xFF, 0xB1, 0x02}}), R(5, true));
    EXPECT_EQ(Feature({four, feature, {0xB4, 0x95, 0x40, 0xB1, 0x02}}), R(5, true));
    EXPECT_EQ(Feature({four, feature, {0x97, 0xFF, 0xFF, 0xFF}}), R(5, true));  // cut short
    EXPECT_EQ(Feature({four, feature, {0xFE, 0x05, 0x00, 0xB1, 0x02}}), R(5, true));
    EXPECT_EQ(Feature({four, feature, {0xFE}}), R(5, true));
}

}  // namespace
}  // namespace velt::hidraw
