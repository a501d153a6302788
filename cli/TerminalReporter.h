#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "cli/Progress.h"
#include "line/Interrupts.h"
#include "line/StopRule.h"
#include "platform/Clock.h"
#include "update/UpdateListener.h"

namespace velt::cli {

using line::Interrupts;
using line::StopRule;

// Renders an update on a terminal: the phases as status lines, progress as one line
// redrawn in place (or a line per tenth on a pipe), failures on the error stream. Its
// event-processing step is where Ctrl-C and the bound on the wait for the bootloader
// reach the update.
class TerminalReporter final : public UpdateListener {
  public:
    struct Settings {
        // Redraw one progress line in place; otherwise write lines a log can keep.
        bool redraw = false;
        // Bound on the time until the first data report; 0: none.
        std::uint64_t timeoutMs = 0;
    };

    TerminalReporter(std::ostream& out, std::ostream& err, Clock& clock, Interrupts& interrupts,
                     const Settings& settings);

    void OnPhase(UpdatePhase phase) override;
    void OnProgress(int recordsSent, int totalRecords) override;
    void OnFinished(const UpdateResult& result) override;
    std::optional<CancelCause> ShouldStop() override;

  private:
    // Ends a progress line still being redrawn, so other output starts on its own line.
    void EndLine();

    std::ostream& out_;
    std::ostream& err_;
    Clock& clock_;
    Settings settings_;

    StopRule stopRule_;
    std::uint64_t transferStartMs_ = 0;
    ProgressPace pace_;
    std::size_t lineLength_ = 0;
    bool lineOpen_ = false;
};

// What the terminal says when Ctrl-C reaches an update.
const char* StopNoticeText(StopRule::Notice notice);

}  // namespace velt::cli
