#include "cli/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/Utf8.h"

namespace velt::cli {

std::string RecordCount(std::uint64_t records) {
    return std::to_string(records) + (records == 1 ? " record" : " records");
}

std::optional<std::uint64_t> ParseSeconds(std::string_view text) {
    double seconds = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(seconds) || seconds < 0 || seconds > static_cast<double>(kMaxSeconds)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(std::ceil(seconds * 1000.0));
}

void WidenColumns(std::vector<std::size_t>& widths, const std::vector<std::string>& row) {
    widths.resize(std::max(widths.size(), row.size()));
    for (std::size_t column = 0; column < row.size(); ++column) {
        widths[column] = std::max(widths[column], DisplayWidth(row[column]));
    }
}

std::string ColumnRow(const std::vector<std::string>& row, const std::vector<std::size_t>& widths) {
    std::string line;
    for (std::size_t column = 0; column < row.size(); ++column) {
        line += row[column];
        if (column + 1 < row.size() && !row[column + 1].empty()) {
            const std::size_t width = column < widths.size() ? widths[column] : 0;
            const std::size_t shown = DisplayWidth(row[column]);
            line += std::string(std::max(width, shown) - shown + 2, ' ');
        }
    }
    return line + '\n';
}

void PrintColumns(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        WidenColumns(widths, row);
    }
    for (const auto& row : rows) {
        out << ColumnRow(row, widths);
    }
}

}  // namespace velt::cli
