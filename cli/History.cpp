#include "cli/History.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <regex>
#include <vector>

#include "cli/Program.h"
#include "cli/Text.h"
#include "line/FlashRecord.h"
#include "line/Json.h"

namespace velt::cli {

using line::Json;
using line::JsonText;
using line::RecordRead;
using line::RecordReader;
using line::RecordVisitor;
using line::StringField;

namespace {

// How many entries, and how many bytes of their lines, wait to be put in time order. Far
// more than processes appending side by side ever put out of order; far less than a record
// of years.
constexpr std::size_t kWindowEntries = 10'000;
constexpr std::size_t kWindowBytes = 8u << 20;
// Output is handed on in pieces of this size rather than line by line.
constexpr std::size_t kBatchBytes = 64u << 10;

std::string Field(const Json& entry, std::string_view name) {
    if (const auto text = StringField(entry, name)) {
        return *text;
    }
    const auto found = entry.find(name);
    return found != entry.end() && found->is_number() ? found->dump() : "";
}

std::vector<std::string> Cells(const Json& entry) {
    const std::string result = Field(entry, "result");
    const std::string error = Field(entry, "error");
    std::vector<std::string> row{Field(entry, "time"),
                                 Field(entry, "serial"),
                                 Field(entry, "device"),
                                 Field(entry, "versionBefore"),
                                 error.empty() ? result : result + " (" + error + ")",
                                 Field(entry, "records") + "/" + Field(entry, "total"),
                                 Field(entry, "sha256").substr(0, 12)};
    for (std::string& cell : row) {
        cell = cell.empty() ? "-" : Printable(cell);
    }
    return row;
}

// Lines put in time order within a window: processes appending side by side may write a
// little out of order, and a record of any size is never held whole. Equal times keep
// their order in the file.
class TimeOrder {
  public:
    explicit TimeOrder(std::ostream& out) : out_(out) {}
    void Add(std::string time, std::string line) {
        bytes_ += line.size();
        waiting_.emplace(std::move(time), std::move(line));
        while (waiting_.size() > kWindowEntries || bytes_ > kWindowBytes) {
            Emit();
        }
    }
    void Finish() {
        while (!waiting_.empty()) {
            Emit();
        }
        out_ << batch_;
        batch_.clear();
    }

  private:
    void Emit() {
        const auto first = waiting_.begin();
        bytes_ -= first->second.size();
        batch_ += first->second;
        waiting_.erase(first);
        if (batch_.size() >= kBatchBytes) {
            out_ << batch_;
            batch_.clear();
        }
    }

    std::ostream& out_;
    std::multimap<std::string, std::string> waiting_;
    std::size_t bytes_ = 0;
    std::string batch_;
};

}  // namespace

bool ValidSince(const std::string& text) {
    static const std::regex form(R"((\d{4})-(\d{2})-(\d{2})(T(\d{2}):(\d{2})(:(\d{2}))?Z?)?)");
    std::smatch fields;
    if (!std::regex_match(text, fields, form)) {
        return false;
    }
    const auto number = [&](int at) { return static_cast<unsigned>(std::stoi(fields[at])); };
    using namespace std::chrono;
    const year_month_day date{year(static_cast<int>(number(1))), month(number(2)), day(number(3))};
    return date.ok() && (!fields[4].matched || (number(5) < 24 && number(6) < 60 &&
                                                (!fields[8].matched || number(8) < 60)));
}

int ShowHistory(const HistoryOptions& options, std::ostream& out, std::ostream& err) {
    // The record's "2026-12-07T08:00:00Z" compares with a time as text, but not with a Z
    // straight after the minutes.
    std::string since = options.since;
    if (since.ends_with('Z')) {
        since.pop_back();
    }
    const auto shown = [&](const Json& entry) {
        return (options.serial.empty() || StringField(entry, "serial") == options.serial) &&
               (since.empty() || Field(entry, "time") >= since);
    };
    std::size_t damaged = 0;
    RecordVisitor visit;
    visit.damaged = [&](std::size_t line) {
        ++damaged;
        err << kProgram << ": " << Printable(options.file) << " line " << line
            << " is not a whole record entry (cut off or damaged); skipped" << std::endl;
    };
    const auto readAll = [&](RecordReader& reader, std::uint64_t upTo) {
        const RecordRead read = reader.ReadOn(visit, true, upTo);
        if (read.status != RecordRead::Status::Ok) {
            err << kProgram << ": cannot read the record " << Printable(options.file) << ": "
                << read.error << std::endl;
        }
        return read.status == RecordRead::Status::Ok;
    };
    std::size_t entries = 0;
    std::map<std::string, int> counts;
    TimeOrder ordered(out);

    if (options.json) {
        // Written again as this program writes JSON, in the line's own order: a line it
        // wrote comes out as it was, while controls and bytes that are not UTF-8 that
        // someone else put in come out escaped, as the text shows them.
        visit.entry = [&](std::size_t, std::string_view, const Json& entry) {
            if (shown(entry)) {
                ++entries;
                ++counts[Field(entry, "result")];
                ordered.Add(Field(entry, "time"), JsonText(entry) + '\n');
            }
        };
        RecordReader reader(options.file);
        if (!readAll(reader, UINT64_MAX)) {
            return kExitUsage;
        }
        ordered.Finish();
        Json summary{{"event", "history"}, {"entries", entries}};
        for (const auto& [result, count] : counts) {
            summary[result] = count;
        }
        summary["damaged"] = damaged;
        out << JsonText(summary) << std::endl;
        return kExitSuccess;
    }

    // The columns' widths first, then the rows; the second pass stops where the first did,
    // so that a line appended meanwhile gets no row wider than its column.
    const std::vector<std::string> heads{"Time (UTC)", "Serial",  "Device", "Before",
                                         "Result",     "Records", "SHA-256"};
    std::vector<std::size_t> widths;
    WidenColumns(widths, heads);
    visit.entry = [&](std::size_t, std::string_view, const Json& entry) {
        if (shown(entry)) {
            WidenColumns(widths, Cells(entry));
        }
    };
    RecordReader measured(options.file);
    if (!readAll(measured, UINT64_MAX)) {
        return kExitUsage;
    }
    visit.damaged = [](std::size_t) {};  // named by the first pass
    visit.entry = [&](std::size_t, std::string_view, const Json& entry) {
        if (shown(entry)) {
            ++entries;
            ++counts[Field(entry, "result")];
            ordered.Add(Field(entry, "time"), ColumnRow(Cells(entry), widths));
        }
    };
    out << ColumnRow(heads, widths);
    RecordReader printed(options.file);
    if (!readAll(printed, measured.offset())) {
        return kExitUsage;
    }
    ordered.Finish();
    out << '\n' << entries << (entries == 1 ? " entry" : " entries");
    const char* separator = ": ";
    for (const auto& [result, count] : counts) {
        out << separator << count << ' ' << Printable(result);
        separator = ", ";
    }
    out << std::endl;
    return kExitSuccess;
}

}  // namespace velt::cli
