#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velt::cli {

// The one progress renderer of the command line, for a single update's line and for each
// device's row of a board alike: the text, drawn at a pace a terminal and a log can take.
class ProgressPace {
  public:
    struct Drawing {
        std::string text;  // ProgressText
        bool tenth;        // the start (0 records) or a new tenth: a log keeps it as a line
    };
    // What to draw for `sent` of `total` records, `elapsedMs` after the first record went;
    // nullopt while the percent has not changed since the last drawing.
    std::optional<Drawing> Next(int sent, int total, std::uint64_t elapsedMs);

  private:
    int shownPercent_ = -1;
    int loggedTenth_ = 0;
};

// " 45%  90/200 records  2,000 B/s  0:05 left", `elapsedMs` since the first record;
// without the rate and time left before any record has gone.
std::string ProgressText(int sent, int total, std::uint64_t elapsedMs);

// "m:ss"
std::string MinutesSeconds(std::uint64_t milliseconds);

}  // namespace velt::cli
