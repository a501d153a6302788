#include "cli/History.h"

#include <algorithm>
#include <map>
#include <regex>
#include <vector>

#include "cli/Cli.h"
#include "cli/FlashRecord.h"
#include "cli/Session.h"
#include "cli/Text.h"

namespace velt::cli {

namespace {

std::string Field(const JsonObject& entry, std::string_view name) {
    if (const auto text = StringField(entry, name)) {
        return *text;
    }
    const auto found = entry.find(name);
    return found != entry.end() && found->second.kind == JsonValue::Kind::Number
               ? found->second.text
               : "";
}

}  // namespace

bool ValidSince(const std::string& text) {
    static const std::regex form(R"(\d{4}-\d{2}-\d{2}(T\d{2}:\d{2}(:\d{2})?Z?)?)");
    return std::regex_match(text, form);
}

int ShowHistory(const HistoryOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    const auto record = ReadRecord(options.file, error);
    if (!record) {
        err << kProgram << ": cannot read the record " << Printable(options.file) << ": " << error
            << std::endl;
        return kExitUsage;
    }
    for (const std::size_t line : record->damagedLines) {
        err << kProgram << ": " << Printable(options.file) << " line " << line
            << " is not a whole record entry (cut off or damaged); skipped" << std::endl;
    }
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < record->entries.size(); ++i) {
        const JsonObject& entry = record->entries[i];
        if ((options.serial.empty() || StringField(entry, "serial") == options.serial) &&
            (options.since.empty() || Field(entry, "time") >= options.since)) {
            shown.push_back(i);
        }
    }
    // Processes appending side by side may write a little out of order.
    std::stable_sort(shown.begin(), shown.end(), [&](std::size_t a, std::size_t b) {
        return Field(record->entries[a], "time") < Field(record->entries[b], "time");
    });
    std::map<std::string, int> counts;
    for (const std::size_t i : shown) {
        ++counts[Field(record->entries[i], "result")];
    }

    if (options.json) {
        for (const std::size_t i : shown) {
            out << record->lines[i] << '\n';
        }
        std::string summary = R"({"event":"history","entries":)" + std::to_string(shown.size());
        for (const auto& [result, count] : counts) {
            summary += ',' + JsonString(result) + ':' + std::to_string(count);
        }
        out << summary << R"(,"damaged":)" << record->damagedLines.size() << "}" << std::endl;
        return kExitSuccess;
    }

    std::vector<std::vector<std::string>> rows;
    for (const std::size_t i : shown) {
        const JsonObject& entry = record->entries[i];
        const std::string result = Field(entry, "result");
        const std::string error = Field(entry, "error");
        rows.push_back({Field(entry, "time"), Field(entry, "serial"), Field(entry, "device"),
                        Field(entry, "versionBefore"),
                        error.empty() ? result : result + " (" + error + ")",
                        Field(entry, "records") + "/" + Field(entry, "total"),
                        Field(entry, "sha256").substr(0, 12)});
        for (std::string& cell : rows.back()) {
            cell = cell.empty() ? "-" : Printable(cell);
        }
    }
    rows.insert(rows.begin(),
                {"Time (UTC)", "Serial", "Device", "Before", "Result", "Records", "SHA-256"});
    PrintColumns(out, rows);
    out << '\n' << shown.size() << (shown.size() == 1 ? " entry" : " entries");
    const char* separator = ": ";
    for (const auto& [result, count] : counts) {
        out << separator << count << ' ' << Printable(result);
        separator = ", ";
    }
    out << std::endl;
    return kExitSuccess;
}

}  // namespace velt::cli
