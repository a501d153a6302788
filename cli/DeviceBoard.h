#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <string>

#include "line/StopRule.h"

namespace velt::cli {

using line::StopRule;

// The terminal's view of several devices being flashed at once: one line per device at
// work, redrawn in place on a terminal; on a pipe, a plain line whenever a device's state
// changes (phases, every tenth of its records). Finished devices and messages become
// lines above the devices at work, so a long watch keeps a log and a short live area.
// Every call may come from any device's thread.
class DeviceBoard {
  public:
    DeviceBoard(std::ostream& out, std::ostream& err, bool redraw);

    // A new line for a device, "<location> <serial>"; returns its row.
    std::size_t Add(const std::string& name);
    // What the device is doing now. A pipe gets a line for each phase and, as progress that
    // may be merged away while its reader lags, each tenth; progress between tenths is for a
    // terminal only. A terminal's redraws are never merged: each one clears what the one
    // before drew.
    enum class Change { Phase, Tenth, Between };
    void Update(std::size_t row, const std::string& status, Change change = Change::Phase);
    // The device is done: its last status becomes a line of the log.
    void Finish(std::size_t row, const std::string& status);
    // A line on its own, above the device lines (to the error stream when `error`).
    void Message(const std::string& line, bool error = false);
    // A Ctrl-C notice, said once for all devices.
    void Notice(StopRule::Notice notice);

  private:
    void Clear();
    void Draw();

    std::mutex lock_;
    std::ostream& out_;
    std::ostream& err_;
    bool redraw_;
    struct Row {
        std::string name;
        std::string status;
    };
    std::map<std::size_t, Row> rows_;
    std::size_t next_ = 0;
    std::size_t drawn_ = 0;
    std::set<StopRule::Notice> noticed_;
};

}  // namespace velt::cli
