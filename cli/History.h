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

// Whether `text` is a date or time --since takes, one that is on the calendar and the
// clock: 2026-12-07, 2026-12-07T08:00 or 2026-12-07T08:00:00Z.
bool ValidSince(const std::string& text);

// What a flash record says, oldest first, with a count per result, read a piece at a time.
// Damaged lines are named on `err` and skipped. A record that is not there or cannot be
// read is an error. Returns the exit status.
int ShowHistory(const HistoryOptions& options, std::ostream& out, std::ostream& err);

}  // namespace velt::cli
