#include "ReportDescriptor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velt::hidraw {
namespace {

using Bytes = std::vector<std::uint8_t>;

ReportDescriptorSummary Parse(const Bytes& bytes) {
    return ParseReportDescriptor(bytes);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// A typical vendor-defined descriptor: 64-byte input and output reports, a 40-byte
// feature report, no report IDs.
const Bytes kVendorDefined = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor Defined 0xFF00)
    0x09, 0x01,        // Usage (0x01)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (0x01)
    0x81, 0x02,        //   Input (Data,Var,Abs)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (0x01)
    0x91, 0x02,        //   Output (Data,Var,Abs)
    0x95, 0x28,        //   Report Count (40)
    0x09, 0x01,        //   Usage (0x01)
    0xB1, 0x02,        //   Feature (Data,Var,Abs)
    0xC0,              // End Collection
};

// The boot keyboard of the HID specification (appendix B.1): no feature report.
const Bytes kBootKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0,
};

// Three feature reports with IDs; report 3 is 5 data bits padded to a byte.
const Bytes kMultiReport = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor Defined 0xFF00)
    0x09, 0x01,        // Usage (0x01)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x09, 0x01, 0xB1, 0x02,  // ID 1: 8 bytes
    0x85, 0x02, 0x75, 0x08, 0x95, 0x20, 0x09, 0x01, 0xB1, 0x02,  // ID 2: 32 bytes
    0x85, 0x03, 0x75, 0x01, 0x95, 0x05, 0x09, 0x01, 0xB1, 0x02,  // ID 3: 5 bits
    0x75, 0x03, 0x95, 0x01, 0xB1, 0x03,                          //       + 3 bits padding
    0xC0,                                                        // End Collection
};

TEST(ReportDescriptor, VendorDefinedFeatureReportWithoutReportId) {
    const auto summary = Parse(kVendorDefined);
    EXPECT_EQ(summary.featureReportByteLength, 41);
    EXPECT_EQ(summary.inputReportByteLength, 65);
    EXPECT_EQ(summary.outputReportByteLength, 65);
    EXPECT_EQ(summary.usagePage, 0xFF00);
    EXPECT_EQ(summary.usage, 0x01);
    EXPECT_FALSE(summary.malformed);
    EXPECT_EQ(FeatureReportByteLength(kVendorDefined), 41);
}

TEST(ReportDescriptor, KeyboardHasNoFeatureReport) {
    const auto summary = Parse(kBootKeyboard);
    EXPECT_EQ(summary.featureReportByteLength, 0);
    EXPECT_EQ(summary.inputReportByteLength, 9);   // modifiers, reserved, 6 keys + ID byte
    EXPECT_EQ(summary.outputReportByteLength, 2);  // 5 LEDs + 3 padding bits + ID byte
    EXPECT_EQ(summary.usagePage, 0x01);
    EXPECT_EQ(summary.usage, 0x06);
    EXPECT_FALSE(summary.malformed);
}

TEST(ReportDescriptor, LargestReportIdWins) {
    const auto summary = Parse(kMultiReport);
    EXPECT_EQ(summary.featureReportByteLength, 33);
    EXPECT_EQ(summary.inputReportByteLength, 0);
    EXPECT_FALSE(summary.malformed);
}

TEST(ReportDescriptor, PaddingItemsAreCounted) {
    // 5 data bits + 11 constant bits: two bytes, plus the ID byte.
    const Bytes descriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x01, 0x95, 0x05,
                              0x09, 0x01, 0xB1, 0x02, 0x75, 0x0B, 0x95, 0x01, 0xB1, 0x01, 0xC0};
    EXPECT_EQ(Parse(descriptor).featureReportByteLength, 3);
}

TEST(ReportDescriptor, PartialBytesRoundUp) {
    const Bytes descriptor = {0x75, 0x01, 0x95, 0x09, 0xB1, 0x02};  // 9 bits
    EXPECT_EQ(Parse(descriptor).featureReportByteLength, 3);
}

TEST(ReportDescriptor, SumsOneReportIdAcrossCollections) {
    const Bytes descriptor = {
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,                    // first top level
        0x85, 0x05, 0x75, 0x08, 0x95, 0x04, 0x09, 0x01, 0xB1, 0x02,  // ID 5: 4 bytes
        0x09, 0x02, 0xA1, 0x02,                                      // nested logical
        0x95, 0x06, 0x09, 0x02, 0xB1, 0x02,                          // ID 5: +6 bytes
        0xC0, 0xC0, 0x09, 0x03, 0xA1, 0x01,                          // second top level
        0x85, 0x05, 0x95, 0x02, 0x09, 0x03, 0xB1, 0x02,              // ID 5: +2 bytes
        0xC0,
    };
    const auto summary = Parse(descriptor);
    EXPECT_EQ(summary.featureReportByteLength, 13);
    EXPECT_EQ(summary.usage, 0x01);  // the first top-level collection's
}

TEST(ReportDescriptor, EmptyDescriptor) {
    const auto summary = Parse({});
    EXPECT_EQ(summary.featureReportByteLength, 0);
    EXPECT_EQ(summary.inputReportByteLength, 0);
    EXPECT_EQ(summary.outputReportByteLength, 0);
    EXPECT_EQ(summary.usagePage, 0);
    EXPECT_EQ(summary.usage, 0);
    EXPECT_FALSE(summary.malformed);
}

TEST(ReportDescriptor, ExtendedUsageCarriesItsPage) {
    const Bytes descriptor = {0x05, 0x01,                    // Usage Page (Generic Desktop)
                              0x0B, 0x05, 0x00, 0x0C, 0x00,  // Usage (Consumer 0x0005)
                              0xA1, 0x01, 0xC0};
    const auto summary = Parse(descriptor);
    EXPECT_EQ(summary.usagePage, 0x000C);
    EXPECT_EQ(summary.usage, 0x0005);
}

TEST(ReportDescriptor, LocalUsageEndsWithTheMainItem) {
    // The usage before the Input item must not carry over to the collection.
    const Bytes descriptor = {0x05, 0x01, 0x09, 0x30, 0x75, 0x08, 0x95,
                              0x01, 0x81, 0x02, 0xA1, 0x01, 0xC0};
    const auto summary = Parse(descriptor);
    EXPECT_EQ(summary.usagePage, 0);
    EXPECT_EQ(summary.usage, 0);
}

TEST(ReportDescriptor, PushAndPopRestoreGlobalState) {
    const Bytes descriptor = {
        0x75, 0x08, 0x95, 0x10,  // 16 x 8 bits
        0xA4,                    // Push
        0x75, 0x01, 0x95, 0x01,  // 1 x 1 bit
        0x85, 0x07,              // Report ID 7
        0xB1, 0x02,              // ID 7: 1 bit -> 2 bytes
        0xB4,                    // Pop: back to 16 x 8 bits, no report ID
        0xB1, 0x02,              // ID 0: 16 bytes -> 17
    };
    const auto summary = Parse(descriptor);
    EXPECT_EQ(summary.featureReportByteLength, 17);
    EXPECT_FALSE(summary.malformed);
}

TEST(ReportDescriptor, PushToTheLimitIsFine) {
    Bytes descriptor = {0x75, 0x08, 0x95, 0x02};
    for (std::size_t i = 0; i < kReportDescriptorPushDepth; ++i) {
        descriptor.push_back(0xA4);
    }
    for (std::size_t i = 0; i < kReportDescriptorPushDepth; ++i) {
        descriptor.push_back(0xB4);
    }
    descriptor.insert(descriptor.end(), {0xB1, 0x02});
    const auto summary = Parse(descriptor);
    EXPECT_FALSE(summary.malformed);
    EXPECT_EQ(summary.featureReportByteLength, 3);
}

TEST(ReportDescriptor, PushOverflowStopsParsing) {
    Bytes descriptor = {0x75, 0x08, 0x95, 0x28, 0xB1, 0x02};  // 40 bytes: summed
    for (std::size_t i = 0; i <= kReportDescriptorPushDepth; ++i) {
        descriptor.push_back(0xA4);
    }
    descriptor.insert(descriptor.end(), {0x95, 0xFF, 0xB1, 0x02});  // never reached
    const auto summary = Parse(descriptor);
    EXPECT_TRUE(summary.malformed);
    EXPECT_EQ(summary.featureReportByteLength, 41);
}

TEST(ReportDescriptor, PopUnderflowStopsParsing) {
    const Bytes descriptor = {0x75, 0x08, 0x95, 0x04, 0xB1, 0x02,  // 4 bytes: summed
                              0xB4,                                // Pop on an empty stack
                              0x95, 0x40, 0xB1, 0x02};             // never reached
    const auto summary = Parse(descriptor);
    EXPECT_TRUE(summary.malformed);
    EXPECT_EQ(summary.featureReportByteLength, 5);
}

TEST(ReportDescriptor, TruncatedShortItemStopsParsing) {
    const Bytes complete = {0x75, 0x08, 0x95, 0x28, 0xB1, 0x02};
    for (const Bytes& tail :
         {Bytes{0x75}, Bytes{0x96, 0x00}, Bytes{0x97, 0xFF, 0xFF, 0xFF}, Bytes{0xB2, 0x02}}) {
        const auto summary = Parse(Concat({complete, tail}));
        EXPECT_TRUE(summary.malformed);
        EXPECT_EQ(summary.featureReportByteLength, 41);
    }
}

TEST(ReportDescriptor, TruncatedItemAloneGivesZero) {
    const auto summary = Parse({0xB1});
    EXPECT_TRUE(summary.malformed);
    EXPECT_EQ(summary.featureReportByteLength, 0);
}

TEST(ReportDescriptor, HugeSizeAndCountClampWithoutOverflow) {
    const Bytes huge = {0x77, 0xFF, 0xFF, 0xFF, 0xFF,   // Report Size (0xFFFFFFFF)
                        0x97, 0xFF, 0xFF, 0xFF, 0xFF};  // Report Count (0xFFFFFFFF)
    Bytes descriptor = huge;
    for (int i = 0; i < 1000; ++i) {
        descriptor.insert(descriptor.end(), {0xB1, 0x02, 0x81, 0x02});
    }
    const auto summary = Parse(descriptor);
    EXPECT_FALSE(summary.malformed);
    EXPECT_EQ(summary.featureReportByteLength, 65535);
    EXPECT_EQ(summary.inputReportByteLength, 65535);
}

TEST(ReportDescriptor, JustBelowTheClamp) {
    // 65534 bytes of data + the ID byte = 65535; one more byte still clamps at 65535.
    const Bytes exact = {0x75, 0x08, 0x96, 0xFE, 0xFF, 0xB1, 0x02};
    EXPECT_EQ(Parse(exact).featureReportByteLength, 65535);
    const Bytes over = {0x75, 0x08, 0x96, 0xFF, 0xFF, 0xB1, 0x02};
    EXPECT_EQ(Parse(over).featureReportByteLength, 65535);
    const Bytes under = {0x75, 0x08, 0x96, 0xFD, 0xFF, 0xB1, 0x02};
    EXPECT_EQ(Parse(under).featureReportByteLength, 65534);
}

TEST(ReportDescriptor, ReportIdItemWithWideData) {
    // A 4-byte report ID is a separate report, not folded into another one.
    const Bytes descriptor = {0x75, 0x08, 0x95, 0x02, 0x87, 0x01, 0x00, 0x00, 0x01,
                              0xB1, 0x02, 0x85, 0x01, 0x95, 0x05, 0xB1, 0x02};
    EXPECT_EQ(Parse(descriptor).featureReportByteLength, 6);
}

TEST(ReportDescriptor, LongItemsAreSkipped) {
    const Bytes descriptor = Concat({
        {0x75, 0x08, 0x95, 0x04},
        {0xFE, 0x04, 0x10, 0xB1, 0x02, 0x95, 0xFF},  // long item whose data looks like items
        {0xFE, 0x00, 0x11},                          // empty long item
        {0xB1, 0x02},
    });
    const auto summary = Parse(descriptor);
    EXPECT_FALSE(summary.malformed);
    EXPECT_EQ(summary.featureReportByteLength, 5);
}

TEST(ReportDescriptor, TruncatedLongItemStopsParsing) {
    const Bytes complete = {0x75, 0x08, 0x95, 0x04, 0xB1, 0x02};
    for (const Bytes& tail :
         {Bytes{0xFE}, Bytes{0xFE, 0x05}, Bytes{0xFE, 0x05, 0x00, 0xB1, 0x02}}) {
        const auto summary = Parse(Concat({complete, tail}));
        EXPECT_TRUE(summary.malformed);
        EXPECT_EQ(summary.featureReportByteLength, 5);
    }
}

TEST(ReportDescriptor, ReservedItemTypeSkippedBySize) {
    // Type 3 (reserved), 2 data bytes that look like a Feature item.
    const Bytes descriptor = {0x75, 0x08, 0x95, 0x04, 0x0E, 0xB1, 0x02, 0xB1, 0x02};
    const auto summary = Parse(descriptor);
    EXPECT_FALSE(summary.malformed);
    EXPECT_EQ(summary.featureReportByteLength, 5);
}

TEST(ReportDescriptor, UnmatchedEndCollectionIsHarmless) {
    const Bytes descriptor = {0xC0, 0xC0, 0x09, 0x02, 0xA1, 0x01, 0x75,
                              0x08, 0x95, 0x02, 0xB1, 0x02, 0xC0};
    const auto summary = Parse(descriptor);
    EXPECT_FALSE(summary.malformed);
    EXPECT_EQ(summary.featureReportByteLength, 3);
    EXPECT_EQ(summary.usage, 0x02);
}

TEST(ReportDescriptor, EveryPrefixOfAGarbageBufferIsSafe) {
    // Deterministic pseudo-random bytes; each prefix must parse within bounds (run under
    // a sanitizer to make "within bounds" visible) and give a length that fits.
    Bytes garbage(2048);
    std::uint32_t state = 12345;
    for (auto& byte : garbage) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    for (std::size_t length = 0; length <= garbage.size(); length += 7) {
        const Bytes prefix(garbage.begin(), garbage.begin() + static_cast<std::ptrdiff_t>(length));
        const auto summary = Parse(prefix);
        EXPECT_LE(summary.featureReportByteLength, 65535);
    }
}

}  // namespace
}  // namespace velt::hidraw
