#include "cli/TerminalReporter.h"

#include "cli/DetachedOutput.h"

#include "update/Outcome.h"

namespace velt::cli {

TerminalReporter::TerminalReporter(std::ostream& out, std::ostream& err, Clock& clock,
                                   Interrupts& interrupts, const Settings& settings)
    : out_(out),
      err_(err),
      clock_(clock),
      settings_(settings),
      stopRule_(clock, interrupts, settings.timeoutMs) {}

const char* StopNoticeText(StopRule::Notice notice) {
    switch (notice) {
        case StopRule::Notice::Cancelling:
            return "Interrupted: cancelling the update.";
        case StopRule::Notice::Deferred:
            return "Interrupted: the transfer will finish so that the device is not left "
                   "half-written. Press Ctrl-C again to stop after the current record.";
        case StopRule::Notice::Stopping:
            return "Interrupted again: stopping after the current record.";
        case StopRule::Notice::None:
            break;
    }
    return "";
}

void TerminalReporter::OnPhase(UpdatePhase phase) {
    const char* line = nullptr;
    switch (phase) {
        case UpdatePhase::SwitchingToBootloader:
            line = "Switching to bootloader...";
            break;
        case UpdatePhase::Transferring:
            line = "Updating firmware...";
            stopRule_.TransferStarted();
            transferStartMs_ = clock_.NowMs();
            break;
        case UpdatePhase::Finishing:
            line = "Finishing...";
            break;
        case UpdatePhase::CheckingImage:
        case UpdatePhase::WaitingForDevice:
            return;
    }
    EndLine();
    out_ << line << std::endl;
}

void TerminalReporter::OnProgress(int sent, int total) {
    if (sent == 0) {
        return;
    }
    const auto drawing = pace_.Next(sent, total, clock_.NowMs() - transferStartMs_);
    if (!drawing) {
        return;
    }
    if (settings_.redraw) {
        // Blanks over the tail of a longer earlier line.
        const std::string& text = drawing->text;
        const std::size_t pad = lineLength_ > text.size() ? lineLength_ - text.size() : 0;
        WriteProgress(out_, '\r' + text + std::string(pad, ' '));
        lineLength_ = text.size();
        lineOpen_ = true;
    } else if (drawing->tenth) {
        WriteProgress(out_, drawing->text + '\n');
    }
}

void TerminalReporter::OnFinished(const UpdateResult& result) {
    EndLine();
    if (result.outcome == UpdateOutcome::Failure) {
        const Outcome outcome = OutcomeOf(result);
        err_ << outcome.heading << ": " << outcome.reason << std::endl;
    }
}

std::optional<CancelCause> TerminalReporter::ShouldStop() {
    const StopRule::Decision decision = stopRule_.Check();
    if (decision.notice != StopRule::Notice::None) {
        EndLine();
        err_ << StopNoticeText(decision.notice) << std::endl;
    }
    return decision.stop;
}

void TerminalReporter::EndLine() {
    if (lineOpen_) {
        out_ << std::endl;
        lineOpen_ = false;
        lineLength_ = 0;
    }
}

}  // namespace velt::cli
