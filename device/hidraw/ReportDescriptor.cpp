#include "device/hidraw/ReportDescriptor.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

namespace velt::hidraw {

namespace {

// Item types (bits 2-3 of a short item's prefix).
constexpr std::uint8_t kTypeMain = 0;
constexpr std::uint8_t kTypeGlobal = 1;
constexpr std::uint8_t kTypeLocal = 2;

// Main item tags.
constexpr std::uint8_t kTagInput = 0x8;
constexpr std::uint8_t kTagOutput = 0x9;
constexpr std::uint8_t kTagCollection = 0xA;
constexpr std::uint8_t kTagFeature = 0xB;
constexpr std::uint8_t kTagEndCollection = 0xC;

// Global item tags.
constexpr std::uint8_t kTagUsagePage = 0x0;
constexpr std::uint8_t kTagReportSize = 0x7;
constexpr std::uint8_t kTagReportId = 0x8;
constexpr std::uint8_t kTagReportCount = 0x9;
constexpr std::uint8_t kTagPush = 0xA;
constexpr std::uint8_t kTagPop = 0xB;

// Local item tags.
constexpr std::uint8_t kTagUsage = 0x0;

// The prefix byte of a long item.
constexpr std::uint8_t kLongItemPrefix = 0xFE;

// Per-report bit totals saturate here: far above anything that still fits the 16-bit
// byte length, far below where adding one more 64-bit product could overflow.
constexpr std::uint64_t kBitCap = std::uint64_t{1} << 40;
constexpr std::uint64_t kMaxByteLength = 0xFFFF;

struct GlobalState {
    std::uint32_t usagePage = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;  // 0: the device uses no report IDs (so far)
};

struct LocalUsage {
    std::uint32_t value = 0;
    bool extended = false;  // 4-byte usage: the high 16 bits are the usage page
};

// Bits summed per report ID for one kind of main item.
class ReportTotals {
  public:
    void add(std::uint32_t reportId, std::uint32_t reportSize, std::uint32_t reportCount) {
        const std::uint64_t bits =
            std::min<std::uint64_t>(std::uint64_t{reportSize} * reportCount, kBitCap);
        std::uint64_t& total = bits_[reportId];
        total = std::min<std::uint64_t>(total + bits, kBitCap);
    }

    std::uint16_t byteLength() const {
        std::uint64_t longest = 0;
        for (const auto& [id, bits] : bits_) {
            (void)id;
            longest = std::max<std::uint64_t>(longest, (bits + 7) / 8 + 1);
        }
        return static_cast<std::uint16_t>(std::min(longest, kMaxByteLength));
    }

  private:
    std::map<std::uint32_t, std::uint64_t> bits_;
};

}  // namespace

ReportDescriptorSummary ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
    ReportDescriptorSummary summary;
    ReportTotals input;
    ReportTotals output;
    ReportTotals feature;

    GlobalState global;
    std::array<GlobalState, kReportDescriptorPushDepth> stack{};
    std::size_t stackDepth = 0;

    // Local state: the first Usage since the last main item.
    bool haveFirstUsage = false;
    LocalUsage firstUsage{};
    std::size_t collectionDepth = 0;
    bool topLevelSeen = false;

    const std::size_t length = descriptor.size();
    std::size_t pos = 0;
    while (pos < length) {
        const std::uint8_t prefix = descriptor[pos];

        if (prefix == kLongItemPrefix) {
            // Long item: prefix, bDataSize, bLongItemTag, data. No long item tags are
            // defined, so it is skipped whole.
            if (length - pos < 3) {
                summary.malformed = true;
                break;
            }
            const std::size_t dataSize = descriptor[pos + 1];
            if (length - pos - 3 < dataSize) {
                summary.malformed = true;
                break;
            }
            pos += 3 + dataSize;
            continue;
        }

        const std::uint8_t sizeCode = prefix & 0x3;
        const std::size_t dataSize = sizeCode == 3 ? 4 : sizeCode;
        const std::uint8_t type = (prefix >> 2) & 0x3;
        const std::uint8_t tag = prefix >> 4;
        if (length - pos - 1 < dataSize) {
            summary.malformed = true;  // truncated item
            break;
        }
        std::uint32_t data = 0;
        for (std::size_t i = 0; i < dataSize; ++i) {
            data |= std::uint32_t{descriptor[pos + 1 + i]} << (8 * i);
        }
        pos += 1 + dataSize;

        if (type == kTypeMain) {
            switch (tag) {
                case kTagInput:
                    input.add(global.reportId, global.reportSize, global.reportCount);
                    break;
                case kTagOutput:
                    output.add(global.reportId, global.reportSize, global.reportCount);
                    break;
                case kTagFeature:
                    feature.add(global.reportId, global.reportSize, global.reportCount);
                    break;
                case kTagCollection:
                    if (collectionDepth == 0 && !topLevelSeen) {
                        topLevelSeen = true;
                        if (haveFirstUsage) {
                            summary.usagePage = static_cast<std::uint16_t>(
                                firstUsage.extended ? firstUsage.value >> 16 : global.usagePage);
                            summary.usage = static_cast<std::uint16_t>(firstUsage.value & 0xFFFF);
                        }
                    }
                    // Nesting depth only matters as "top level or not"; it cannot exceed the
                    // number of items, so it needs no other bound.
                    ++collectionDepth;
                    break;
                case kTagEndCollection:
                    // An unmatched End Collection does not affect any length; it is ignored.
                    if (collectionDepth > 0) {
                        --collectionDepth;
                    }
                    break;
                default:
                    break;
            }
            haveFirstUsage = false;  // local state ends with every main item
        } else if (type == kTypeGlobal) {
            switch (tag) {
                case kTagUsagePage:
                    global.usagePage = data;
                    break;
                case kTagReportSize:
                    global.reportSize = data;
                    break;
                case kTagReportId:
                    global.reportId = data;
                    break;
                case kTagReportCount:
                    global.reportCount = data;
                    break;
                case kTagPush:
                    if (stackDepth == stack.size()) {
                        summary.malformed = true;
                    } else {
                        stack[stackDepth++] = global;
                    }
                    break;
                case kTagPop:
                    if (stackDepth == 0) {
                        summary.malformed = true;
                    } else {
                        global = stack[--stackDepth];
                    }
                    break;
                default:
                    break;  // logical/physical extents, units: irrelevant to lengths
            }
            if (summary.malformed) {
                break;
            }
        } else if (type == kTypeLocal) {
            if (tag == kTagUsage && !haveFirstUsage) {
                haveFirstUsage = true;
                firstUsage = LocalUsage{data, dataSize == 4};
            }
        }
        // Reserved item type 3 (other than the long item prefix): skipped by its size.
    }

    summary.inputReportByteLength = input.byteLength();
    summary.outputReportByteLength = output.byteLength();
    summary.featureReportByteLength = feature.byteLength();
    return summary;
}

}  // namespace velt::hidraw
