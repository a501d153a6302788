#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/JsonLine.h"

using namespace velt::cli;

// A line of a record, read and written again as this program writes JSON, reads back as
// what was written: the reader takes every string and number the writer makes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> names;
    const auto object =
        ParseFlatJsonObject(std::string_view(reinterpret_cast<const char*>(data), size), &names);
    if (!object) {
        return 0;
    }
    // The first writing makes the text valid UTF-8; from then on reading and writing change
    // nothing, the names' order included.
    std::vector<std::string> onceNames, againNames;
    const auto once = ParseFlatJsonObject(FlatJsonLine(*object, names), &onceNames);
    if (!once) {
        std::abort();
    }
    const std::string written = FlatJsonLine(*once, onceNames);
    const auto again = ParseFlatJsonObject(written, &againNames);
    if (!again || FlatJsonLine(*again, againNames) != written) {
        std::abort();
    }
    return 0;
}
