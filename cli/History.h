#pragma once

#include <ostream>
#include <string>

namespace velt::cli {

struct HistoryOptions {
    std::string file;
    std::string serial;  // only this device; empty: every device
    std::string since;   // only entries from this UTC date or time on; empty: all
    bool json = false;   // each entry as its record line, then a summary object
};

// Whether `text` is a date or time --since takes: 2026-12-07, 2026-12-07T08:00 or
// 2026-12-07T08:00:00Z.
bool ValidSince(const std::string& text);

// What a flash record says, oldest first, with a count per result. Damaged lines are named
// on `err` and skipped. Returns the exit status.
int ShowHistory(const HistoryOptions& options, std::ostream& out, std::ostream& err);

}  // namespace velt::cli
