#include "cli/TerminalReporter.h"

#include <cstdio>

#include "device/VeltProtocol.h"
#include "update/FirmwareImage.h"

namespace velt::cli {

std::string MinutesSeconds(std::uint64_t milliseconds) {
    const std::uint64_t seconds = (milliseconds + 500) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
    return text;
}

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
    if (sent == 0 || total <= 0) {
        return;
    }
    if (settings_.redraw) {
        const int percent = static_cast<int>(100LL * sent / total);
        if (percent == shownPercent_ && sent != total) {
            return;
        }
        shownPercent_ = percent;
        const std::string text = ProgressText(sent, total, clock_.NowMs() - transferStartMs_);
        // Blanks over the tail of a longer earlier line.
        const std::size_t pad = lineLength_ > text.size() ? lineLength_ - text.size() : 0;
        out_ << '\r' << text << std::string(pad, ' ') << std::flush;
        lineLength_ = text.size();
        lineOpen_ = true;
    } else if (const int tenth = static_cast<int>(10LL * sent / total); tenth > loggedTenth_) {
        loggedTenth_ = tenth;
        out_ << ProgressText(sent, total, clock_.NowMs() - transferStartMs_) << std::endl;
    }
}

void TerminalReporter::OnFinished(const UpdateResult& result) {
    EndLine();
    if (result.outcome == UpdateOutcome::Failure && result.error) {
        err_ << (result.error->kind == UpdateErrorKind::ImageUnusable ? "File Error: "
                                                                      : "Update Error: ")
             << DescribeUpdateError(*result.error) << std::endl;
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

std::string ProgressText(int sent, int total, std::uint64_t elapsedMs) {
    const std::string percent = std::to_string(100LL * sent / total) + "%";
    std::string text = std::string(percent.size() < 4 ? 4 - percent.size() : 0, ' ') + percent +
                       "  " + std::to_string(sent) + "/" + std::to_string(total) + " records";
    if (elapsedMs == 0 || sent == 0) {
        return text;
    }
    const std::uint64_t bytes = static_cast<std::uint64_t>(sent) * protocol::recordSize;
    text += "  " + WithThousands(bytes * 1000 / elapsedMs) + " B/s";
    const std::uint64_t leftMs =
        elapsedMs * static_cast<std::uint64_t>(total - sent) / static_cast<std::uint64_t>(sent);
    return text + "  " + MinutesSeconds(leftMs) + " left";
}

void TerminalReporter::EndLine() {
    if (lineOpen_) {
        out_ << std::endl;
        lineOpen_ = false;
        lineLength_ = 0;
    }
}

}  // namespace velt::cli
