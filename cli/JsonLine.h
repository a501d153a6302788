#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
// last value. `names`, when given, receives the names in the order they first appear.
std::optional<JsonObject> ParseFlatJsonObject(std::string_view line,
                                              std::vector<std::string>* names = nullptr);

// The object as one line, its members in the order of `names`, each string through
// JsonString: a line this program wrote comes back as it was, anything else escaped as it
// would have written it.
std::string FlatJsonLine(const JsonObject& object, const std::vector<std::string>& names);

// The string value of `name`, or nullopt when it is missing or not a string.
std::optional<std::string> StringField(const JsonObject& object, std::string_view name);
// The whole non-negative number `name`, or nullopt.
std::optional<long long> NumberField(const JsonObject& object, std::string_view name);

}  // namespace velt::cli
