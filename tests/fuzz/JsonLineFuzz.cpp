#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/JsonLine.h"
#include "cli/Text.h"

using namespace velt::cli;

namespace {

std::string Write(const JsonObject& object) {
    std::string line = "{";
    for (const auto& [name, value] : object) {
        line += (line.size() > 1 ? "," : "") + JsonString(name) + ':';
        switch (value.kind) {
            case JsonValue::Kind::String:
                line += JsonString(value.text);
                break;
            case JsonValue::Kind::Number:
                line += value.text;
                break;
            case JsonValue::Kind::True:
                line += "true";
                break;
            case JsonValue::Kind::False:
                line += "false";
                break;
            case JsonValue::Kind::Null:
                line += "null";
                break;
        }
    }
    return line + "}";
}

}  // namespace

// A line of a record, read and written again as this program writes JSON, reads back as
// what was written: the reader takes every string and number the writer makes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto object =
        ParseFlatJsonObject(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!object) {
        return 0;
    }
    // The first writing makes the text valid UTF-8 (which may reorder names); from then on
    // reading and writing change nothing.
    const auto once = ParseFlatJsonObject(Write(*object));
    if (!once) {
        std::abort();
    }
    const std::string written = Write(*once);
    const auto again = ParseFlatJsonObject(written);
    if (!again || Write(*again) != written) {
        std::abort();
    }
    return 0;
}
