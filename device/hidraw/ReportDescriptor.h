#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velt::hidraw {

// What a HID report descriptor declares: the report lengths as Windows reports them in
// its capability record (so that both backends agree on a device), and the usage of the
// first top-level collection.
//
// A report's byte length is computed the way Windows computes it: for each report ID,
// Report Size x Report Count summed over every main item of the kind (Input, Output or
// Feature), padding and constant items included, in all collections; rounded up to
// whole bytes; plus one byte for the report ID, also when the device uses no report
// IDs. The largest over all report IDs wins; a kind without any main item gives 0.
// Lengths are clamped at 65535.
struct ReportDescriptorSummary {
    std::uint16_t usagePage = 0;  // of the first top-level collection; 0 if none
    std::uint16_t usage = 0;      // of the first top-level collection; 0 if none
    std::uint16_t inputReportByteLength = 0;
    std::uint16_t outputReportByteLength = 0;
    std::uint16_t featureReportByteLength = 0;
    // True when parsing stopped early: an item runs past the end of the descriptor
    // (short or long item), the Push stack overflowed or a Pop found it empty. The
    // lengths then hold what was summed before the offending item.
    bool malformed = false;

    bool operator==(const ReportDescriptorSummary&) const = default;
};

// Depth of the Push/Pop stack of global state; a deeper Push makes the descriptor
// malformed.
inline constexpr std::size_t kReportDescriptorPushDepth = 8;

// Parses a report descriptor. The descriptor is untrusted input from the device: the
// parser never reads past the span, never overflows on hostile Report Size or Report
// Count values, and bounds everything it keeps.
ReportDescriptorSummary ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace velt::hidraw
