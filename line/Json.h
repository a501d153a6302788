#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace velt::line {

// A JSON value whose object members keep the order they were set in, so that every line
// this program writes names its fields in one order.
using Json = nlohmann::ordered_json;

// `text` as a JSON string, quotes included: control characters and bidirectional marks
// escaped, a byte that is not UTF-8 replaced by U+FFFD, so that the output is always valid
// JSON.
std::string JsonString(std::string_view text);

// `value` as one line, without a line feed: its strings through JsonString (controls and
// bidirectional marks escaped, bytes that are not UTF-8 replaced), the rest as the library
// writes it.
std::string JsonText(const Json& value);

// One line of this program's JSON: an object whose values are no objects or arrays.
// nullopt for anything else, a cut-off line included. A name given twice keeps its last
// value, in the place it first had. Bytes that are not UTF-8 are read as U+FFFD.
std::optional<Json> ParseFlatObject(std::string_view line);

// The string value of `name`, or nullopt when it is missing or not a string.
std::optional<std::string> StringField(const Json& object, std::string_view name);
// The whole non-negative number `name`, or nullopt.
std::optional<long long> NumberField(const Json& object, std::string_view name);

}  // namespace velt::line
