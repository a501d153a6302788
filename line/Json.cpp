#include "line/Json.h"

#include <cstdio>
#include <limits>

#include "platform/Utf8.h"

namespace velt::line {

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    char escape[8];
    for (std::size_t i = 0; i < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = Utf8Sequence(text, i, codePoint);
        if (length == 0) {
            out += "\uFFFD";
            ++i;
            continue;
        }
        if (codePoint == '"' || codePoint == '\\') {
            out += '\\';
            out += static_cast<char>(codePoint);
        } else if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F) ||
                   IsBidiControl(codePoint)) {
            // Valid JSON either way; escaped, a viewer of the raw lines is not fooled.
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(codePoint));
            out += escape;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out + '"';
}

std::string JsonText(const Json& value) {
    if (value.is_string()) {
        return JsonString(value.get_ref<const std::string&>());
    }
    if (value.is_object()) {
        std::string text = "{";
        for (const auto& member : value.items()) {
            text += (text.size() > 1 ? "," : "") + JsonString(member.key()) + ':' +
                    JsonText(member.value());
        }
        return text + '}';
    }
    if (value.is_array()) {
        std::string text = "[";
        for (const Json& element : value) {
            text += (text.size() > 1 ? "," : "") + JsonText(element);
        }
        return text + ']';
    }
    return value.dump();
}

std::optional<Json> ParseFlatObject(std::string_view line) {
    // The library refuses a line with bytes that are not UTF-8; a record someone else
    // wrote to is still read, the bytes shown as replaced.
    std::string text;
    if (!ValidUtf8(line)) {
        for (std::size_t i = 0; i < line.size();) {
            char32_t codePoint = 0;
            const std::size_t length = Utf8Sequence(line, i, codePoint);
            text.append(length == 0 ? std::string_view("\uFFFD") : line.substr(i, length));
            i += length == 0 ? 1 : length;
        }
        line = text;
    }
    // A value inside a value is refused as it starts, never built: a damaged line of a
    // megabyte of brackets costs no more than its text.
    bool nested = false;
    const auto flat = [&nested](int depth, Json::parse_event_t event, Json&) {
        const bool starts =
            event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start;
        nested = nested || (starts && depth > 0);
        return !nested;
    };
    Json object = Json::parse(line, flat, false);
    if (nested || !object.is_object()) {
        return std::nullopt;
    }
    return object;
}

std::optional<std::string> StringField(const Json& object, std::string_view name) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string()) {
        return std::nullopt;
    }
    return found->get<std::string>();
}

std::optional<long long> NumberField(const Json& object, std::string_view name) {
    const auto found = object.find(name);
    if (found == object.end()) {
        return std::nullopt;
    }
    if (found->is_number_unsigned() &&
        found->get<unsigned long long>() <=
            static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
        return found->get<long long>();
    }
    if (found->is_number_integer() && !found->is_number_unsigned() &&
        found->get<long long>() >= 0) {
        return found->get<long long>();
    }
    return std::nullopt;
}

}  // namespace velt::line
