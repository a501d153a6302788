#include "cli/JsonLine.h"

#include <charconv>

#include "cli/Text.h"
#include "platform/Utf8.h"

namespace velt::cli {

namespace {

class Reader {
  public:
    explicit Reader(std::string_view text) : s_(text) {}

    void SkipSpace() {
        while (!s_.empty() && (s_[0] == ' ' || s_[0] == '\t' || s_[0] == '\r' || s_[0] == '\n')) {
            s_.remove_prefix(1);
        }
    }
    bool Take(std::string_view word) {
        SkipSpace();
        if (!s_.starts_with(word)) {
            return false;
        }
        s_.remove_prefix(word.size());
        return true;
    }
    bool Next(char c) {
        SkipSpace();
        return !s_.empty() && s_[0] == c;
    }
    bool AtEnd() {
        SkipSpace();
        return s_.empty();
    }

    std::optional<std::string> String() {
        if (!Take("\"")) {
            return std::nullopt;
        }
        std::string out;
        while (!s_.empty() && s_[0] != '"') {
            const auto c = static_cast<unsigned char>(s_[0]);
            if (c < 0x20) {
                return std::nullopt;
            }
            s_.remove_prefix(1);
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (s_.empty()) {
                return std::nullopt;
            }
            const char escape = s_[0];
            s_.remove_prefix(1);
            static constexpr std::string_view from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
            if (const auto at = from.find(escape); at != from.npos) {
                out += to[at];
            } else if (escape != 'u' || !Unicode(out)) {
                return std::nullopt;
            }
        }
        if (!Take("\"")) {
            return std::nullopt;
        }
        return out;
    }

    std::optional<std::string> Number() {
        SkipSpace();
        std::size_t n = s_.starts_with('-') ? 1 : 0;
        const auto digits = [&] {
            const std::size_t start = n;
            while (n < s_.size() && s_[n] >= '0' && s_[n] <= '9') {
                ++n;
            }
            return n > start;
        };
        if (!digits()) {
            return std::nullopt;
        }
        if (n < s_.size() && s_[n] == '.' && (++n, !digits())) {
            return std::nullopt;
        }
        if (n < s_.size() && (s_[n] == 'e' || s_[n] == 'E')) {
            ++n;
            if (n < s_.size() && (s_[n] == '+' || s_[n] == '-')) {
                ++n;
            }
            if (!digits()) {
                return std::nullopt;
            }
        }
        std::string number(s_.substr(0, n));
        s_.remove_prefix(n);
        return number;
    }

  private:
    std::optional<unsigned> Hex4() {
        unsigned value = 0;
        if (s_.size() < 4 ||
            std::from_chars(s_.data(), s_.data() + 4, value, 16).ptr != s_.data() + 4) {
            return std::nullopt;
        }
        s_.remove_prefix(4);
        return value;
    }

    // After "\u": the code point, a surrogate pair taken as one, appended as UTF-8.
    bool Unicode(std::string& out) {
        auto unit = Hex4();
        if (!unit) {
            return false;
        }
        char32_t code = *unit;
        if (code >= 0xD800 && code <= 0xDBFF && s_.starts_with("\\u")) {
            s_.remove_prefix(2);
            const auto low = Hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;  // a lone surrogate spells no character
        }
        AppendUtf8(out, code);
        return true;
    }

    std::string_view s_;
};

}  // namespace

std::optional<JsonObject> ParseFlatJsonObject(std::string_view line,
                                              std::vector<std::string>* names) {
    Reader in(line);
    if (!in.Take("{")) {
        return std::nullopt;
    }
    JsonObject object;
    if (in.Take("}")) {
        return in.AtEnd() ? std::optional(object) : std::nullopt;
    }
    do {
        auto name = in.String();
        if (!name || !in.Take(":")) {
            return std::nullopt;
        }
        JsonValue value;
        if (in.Next('"')) {
            auto text = in.String();
            if (!text) {
                return std::nullopt;
            }
            value = {JsonValue::Kind::String, std::move(*text)};
        } else if (in.Take("true")) {
            value.kind = JsonValue::Kind::True;
        } else if (in.Take("false")) {
            value.kind = JsonValue::Kind::False;
        } else if (in.Take("null")) {
            value.kind = JsonValue::Kind::Null;
        } else if (auto number = in.Number()) {
            value = {JsonValue::Kind::Number, std::move(*number)};
        } else {
            return std::nullopt;
        }
        if (names != nullptr && !object.contains(*name)) {
            names->push_back(*name);
        }
        object[std::move(*name)] = std::move(value);
    } while (in.Take(","));
    if (!in.Take("}") || !in.AtEnd()) {
        return std::nullopt;
    }
    return object;
}

std::string FlatJsonLine(const JsonObject& object, const std::vector<std::string>& names) {
    std::string line = "{";
    for (const std::string& name : names) {
        const auto found = object.find(name);
        if (found == object.end()) {
            continue;
        }
        line += (line.size() > 1 ? "," : "") + JsonString(name) + ':';
        switch (found->second.kind) {
            case JsonValue::Kind::String:
                line += JsonString(found->second.text);
                break;
            case JsonValue::Kind::Number:
                line += found->second.text;
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
    return line + '}';
}

std::optional<std::string> StringField(const JsonObject& object, std::string_view name) {
    const auto found = object.find(name);
    if (found == object.end() || found->second.kind != JsonValue::Kind::String) {
        return std::nullopt;
    }
    return found->second.text;
}

std::optional<long long> NumberField(const JsonObject& object, std::string_view name) {
    const auto found = object.find(name);
    if (found == object.end() || found->second.kind != JsonValue::Kind::Number) {
        return std::nullopt;
    }
    const std::string& text = found->second.text;
    long long value = 0;
    const auto end = text.data() + text.size();
    if (std::from_chars(text.data(), end, value).ptr != end || value < 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace velt::cli
