#include "cli/DeviceBoard.h"

#include "cli/DetachedOutput.h"
#include "cli/TerminalReporter.h"

namespace velt::cli {

DeviceBoard::DeviceBoard(std::ostream& out, std::ostream& err, bool redraw)
    : out_(out), err_(err), redraw_(redraw) {}

std::size_t DeviceBoard::Add(const std::string& name) {
    const std::lock_guard lock(lock_);
    rows_[next_] = {name, "starting"};
    return next_++;
}

void DeviceBoard::Update(std::size_t row, const std::string& status, Change change) {
    const std::lock_guard lock(lock_);
    Row& shown = rows_.at(row);
    if (shown.status == status) {
        return;
    }
    shown.status = status;
    if (redraw_) {
        Clear();
        Draw();
    } else if (change == Change::Phase) {
        out_ << shown.name << ": " << status << std::endl;
    } else if (change == Change::Tenth) {
        WriteProgress(out_, shown.name + ": " + status + '\n');
    }
}

void DeviceBoard::Finish(std::size_t row, const std::string& status) {
    const std::lock_guard lock(lock_);
    Clear();
    out_ << rows_.at(row).name << ": " << status << std::endl;
    rows_.erase(row);
    Draw();
}

void DeviceBoard::Message(const std::string& line, bool error) {
    const std::lock_guard lock(lock_);
    Clear();
    (error ? err_ : out_) << line << std::endl;
    Draw();
}

void DeviceBoard::Notice(StopRule::Notice notice) {
    if (notice == StopRule::Notice::None) {
        return;
    }
    {
        const std::lock_guard lock(lock_);
        if (!noticed_.insert(notice).second) {
            return;
        }
    }
    const char* text =
        notice == StopRule::Notice::Cancelling
            ? "Interrupted: cancelling the devices that are not yet receiving records."
            : StopNoticeText(notice);
    Message(text, true);
}

void DeviceBoard::Clear() {
    if (drawn_ > 0) {
        // To the start of the first device line, and everything below it away.
        out_ << "\x1b[" << drawn_ << "F\x1b[J";
        drawn_ = 0;
    }
}

void DeviceBoard::Draw() {
    if (!redraw_) {
        return;
    }
    for (const auto& [id, row] : rows_) {
        out_ << row.name << ": " << row.status << '\n';
    }
    out_ << std::flush;
    drawn_ = rows_.size();
}

}  // namespace velt::cli
