#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "cli/DeviceBoard.h"
#include "cli/Progress.h"
#include "line/Interrupts.h"
#include "line/StopRule.h"
#include "platform/Clock.h"
#include "update/UpdateListener.h"

namespace velt::cli {

using line::Interrupts;
using line::StopRule;

// Renders one device's update on its row of the board and decides, per device, whether it
// goes on (--all, --watch).
class RunListener final : public UpdateListener {
  public:
    RunListener(DeviceBoard& board, std::size_t row, Clock& clock, Interrupts& interrupts,
                std::uint64_t timeoutMs)
        : board_(board), row_(row), clock_(clock), rule_(clock, interrupts, timeoutMs) {}

    void OnPhase(UpdatePhase phase) override;
    void OnProgress(int sent, int total) override;
    std::optional<CancelCause> ShouldStop() override;

  private:
    DeviceBoard& board_;
    std::size_t row_;
    Clock& clock_;
    StopRule rule_;
    ProgressPace pace_;
    std::uint64_t transferStartMs_ = 0;
};

}  // namespace velt::cli
