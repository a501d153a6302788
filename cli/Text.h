#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velt::cli {

// A name as the terminal should show it: control characters (C0, DEL, C1), bidirectional
// marks and overrides and bytes that are not UTF-8 become visible escapes (\n, \x1b,
// \u009b, \u202e, \xff) instead of being obeyed; a backslash that would read as the start
// of such an escape is doubled. Every string from a device or a user goes through it.
std::string Printable(std::string_view text);

// `text` as a JSON string, quotes included: control characters and bidirectional marks
// escaped, a byte that is not UTF-8 replaced by U+FFFD, so that the output is always valid
// JSON.
std::string JsonString(std::string_view text);

// A time option's value: seconds as a finite number from 0 to kMaxSeconds, in
// milliseconds rounded up, so that a short limit never turns into no limit. nullopt for
// anything else.
inline constexpr std::uint64_t kMaxSeconds = 31'536'000;  // a year
std::optional<std::uint64_t> ParseSeconds(std::string_view text);

}  // namespace velt::cli
