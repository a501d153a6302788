#include <cstdlib>
#include <string>
#include <string_view>

#include "line/Json.h"

using namespace velt::line;

// A line of a record, read and written again as this program writes JSON, reads back as
// what was written: the reader takes every string and number the writer makes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto object =
        ParseFlatObject(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!object) {
        return 0;
    }
    // The first writing makes the text valid UTF-8; from then on reading and writing change
    // nothing, the names' order included.
    const auto once = ParseFlatObject(JsonText(*object));
    if (!once) {
        std::abort();
    }
    const std::string written = JsonText(*once);
    const auto again = ParseFlatObject(written);
    if (!again || JsonText(*again) != written) {
        std::abort();
    }
    return 0;
}
