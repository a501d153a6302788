#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velt::cli {

// A value of a flat JSON object: a string (unescaped, UTF-8), a number (as written),
// true, false or null.
struct JsonValue {
    enum class Kind { String, Number, True, False, Null };
    Kind kind = Kind::Null;
    std::string text;  // String: the text; Number: its digits as written
};

using JsonObject = std::map<std::string, JsonValue, std::less<>>;

// One line of this program's JSON (RFC 8259): an object whose values are no objects or
// arrays. nullopt for anything else, a cut-off line included. A name given twice keeps its
// last value.
std::optional<JsonObject> ParseFlatJsonObject(std::string_view line);

// The string value of `name`, or nullopt when it is missing or not a string.
std::optional<std::string> StringField(const JsonObject& object, std::string_view name);
// The whole non-negative number `name`, or nullopt.
std::optional<long long> NumberField(const JsonObject& object, std::string_view name);

}  // namespace velt::cli
