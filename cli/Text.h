#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Utf8.h"

namespace velt::cli {

// The one escaping function for what reaches the terminal.
using velt::Printable;

// "1 record", "200 records": a count of records as a person writes it.
std::string RecordCount(std::uint64_t records);

// A time option's value: seconds as a finite number from 0 to kMaxSeconds, in
// milliseconds rounded up, so that a short limit never turns into no limit. nullopt for
// anything else.
inline constexpr std::uint64_t kMaxSeconds = 31'536'000;  // a year
std::optional<std::uint64_t> ParseSeconds(std::string_view text);

// Rows as aligned columns, two spaces apart, the first row being the heads; padded by the
// columns the cells take on a terminal (DisplayWidth), so that any script lines up. No padding goes
// before an empty cell, so that a row ending in empty cells ends without spaces.
void PrintColumns(std::ostream& out, const std::vector<std::vector<std::string>>& rows);
// The same a row at a time, for rows that are not all held at once: the widths grown to fit
// each row, then each row as its line, line feed included.
void WidenColumns(std::vector<std::size_t>& widths, const std::vector<std::string>& row);
std::string ColumnRow(const std::vector<std::string>& row, const std::vector<std::size_t>& widths);

}  // namespace velt::cli
