#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

#include "device/hidraw/ReportDescriptor.h"

// The feature report length is what the Feature items declare: per report ID the sum of
// Report Size x Report Count, in bytes rounded up, plus one; the largest ID wins. The items
// are walked again here keeping only that; reads past the input are ASan's to catch.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto summary = velt::hidraw::ParseReportDescriptor({data, size});
    std::map<int, std::uint64_t> global;  // by prefix: Report Size 0x74, ID 0x84, Count 0x94
    std::vector<std::map<int, std::uint64_t>> stack;
    std::map<std::uint64_t, std::uint64_t> bits;  // by report ID
    constexpr std::uint64_t kCap = 1ULL << 40;    // far above 65535 bytes, far below overflow
    bool malformed = false;
    for (std::size_t pos = 0; pos < size && !malformed;) {
        const int prefix = data[pos], header = prefix == 0xFE ? 3 : 1;
        const std::size_t length = prefix == 0xFE ? (size - pos > 1 ? data[pos + 1] : 0)
                                                  : (prefix & 3) + ((prefix & 3) == 3);
        if ((malformed = size - pos < header + length)) {
            break;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; header == 1 && i < length; ++i) {
            value |= std::uint64_t{data[pos + 1 + i]} << (8 * i);
        }
        pos += header + length;
        const int item = header == 1 ? prefix & 0xFC : -1;
        if (item == 0xB0) {  // Feature
            auto& total = bits[global[0x84]];
            total = std::min(total + std::min(global[0x74] * global[0x94], kCap), kCap);
        } else if (item == 0x74 || item == 0x84 || item == 0x94) {
            global[item] = value;
        } else if (item == 0xA4 && !(malformed = stack.size() == 8)) {  // Push
            stack.push_back(global);
        } else if (item == 0xB4 && !(malformed = stack.empty())) {  // Pop
            global = stack.back();
            stack.pop_back();
        }
    }
    std::uint64_t expected = 0;
    for (const auto& [id, total] : bits) {
        expected = std::max(expected, std::min<std::uint64_t>((total + 7) / 8 + 1, 0xFFFF));
    }
    if (summary.featureReportByteLength != expected || summary.malformed != malformed) {
        std::abort();
    }
    return 0;
}
