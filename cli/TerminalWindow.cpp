#include "TerminalWindow.h"

#include <cstdio>
#include <string_view>

#include "ImageFile.h"

namespace velt::cli {

namespace {
constexpr const char* kTransferCaption = "Updating firmware...";
}  // namespace

std::string MinutesSeconds(std::uint64_t milliseconds) {
    const std::uint64_t seconds = (milliseconds + 500) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
    return text;
}

TerminalWindow::TerminalWindow(std::ostream& out, std::ostream& err, Clock& clock,
                               Interrupts& interrupts, UpdateCloseGate& gate,
                               const Settings& settings)
    : out_(out),
      err_(err),
      clock_(clock),
      interrupts_(interrupts),
      gate_(gate),
      settings_(settings),
      startMs_(clock.NowMs()),
      baselineInterrupts_(interrupts.Count()) {}

void TerminalWindow::SetCaption(Control control, const std::string& text) {
    // The other captions are the identity labels, refreshed on every poll.
    if (control != Control::btnUpgradeFW) {
        return;
    }
    EndLine();
    out_ << text << std::endl;
    if (text == kTransferCaption) {
        transferring_ = true;
        transferStartMs_ = clock_.NowMs();
    }
}

void TerminalWindow::SetWidth(Control control, float twips) {
    if (control != Control::Pic) {
        return;
    }
    // The bar grows once per accepted record and is reset to zero around the transfer.
    if (twips > 0.0F) {
        RecordAccepted();
    } else {
        EndLine();
    }
}

void TerminalWindow::MessageBox(const std::string& text, const std::string& title, int) {
    EndLine();
    err_ << title << ": " << text << std::endl;
}

void TerminalWindow::DoEvents() {
    const int presses = interrupts_.Count() - baselineInterrupts_;
    if (presses > handledInterrupts_) {
        handledInterrupts_ = presses;
        interrupted_ = true;
        EndLine();
        if (!transferring_) {
            // Nothing written yet: cancelling lets go of the device.
            err_ << "Interrupted: cancelling the update." << std::endl;
            gate_.RequestClose();
        } else {
            if (!deferralShown_) {
                deferralShown_ = true;
                err_ << "Interrupted: the transfer will finish so that the device is not left "
                        "half-written. Press Ctrl-C again to stop after the current record."
                     << std::endl;
                gate_.RequestClose();
            }
            if (presses >= 2 && !gate_.stopRequested()) {
                err_ << "Interrupted again: stopping after the current record." << std::endl;
                gate_.RequestStop();
            }
        }
    }
    if (!transferring_ && !interrupted_ && settings_.timeoutMs > 0 &&
        clock_.NowMs() - startMs_ >= settings_.timeoutMs) {
        timedOut_ = true;
        gate_.RequestClose();
    }
}

void TerminalWindow::RecordAccepted() {
    ++recordsSent_;
    if (settings_.totalRecords <= 0) {
        return;
    }
    if (settings_.redraw) {
        const int percent = static_cast<int>(100LL * recordsSent_ / settings_.totalRecords);
        if (percent != shownPercent_ || recordsSent_ == settings_.totalRecords) {
            shownPercent_ = percent;
            DrawProgress();
        }
    } else {
        const int tenth = static_cast<int>(10LL * recordsSent_ / settings_.totalRecords);
        if (tenth > loggedTenth_) {
            loggedTenth_ = tenth;
            LogProgress();
        }
    }
}

std::string TerminalWindow::ProgressText(std::uint64_t elapsedMs) const {
    const std::uint64_t bytes = static_cast<std::uint64_t>(recordsSent_) * 40;
    const int total = settings_.totalRecords;
    const std::string percent = std::to_string(100LL * recordsSent_ / total) + "%";
    std::string text = std::string(percent.size() < 4 ? 4 - percent.size() : 0, ' ') + percent +
                       "  " + std::to_string(recordsSent_) + "/" + std::to_string(total) +
                       " records";
    if (elapsedMs == 0) {
        return text;
    }
    text += "  " + WithThousands(bytes * 1000 / elapsedMs) + " B/s";
    const std::uint64_t leftMs = elapsedMs * static_cast<std::uint64_t>(total - recordsSent_) /
                                 static_cast<std::uint64_t>(recordsSent_);
    text += "  " + MinutesSeconds(leftMs) + " left";
    return text;
}

void TerminalWindow::DrawProgress() {
    const std::string text = ProgressText(clock_.NowMs() - transferStartMs_);
    // Blanks over the tail of a longer earlier line.
    const std::size_t pad = lineLength_ > text.size() ? lineLength_ - text.size() : 0;
    out_ << '\r' << text << std::string(pad, ' ') << std::flush;
    lineLength_ = text.size();
    lineOpen_ = true;
}

void TerminalWindow::LogProgress() {
    out_ << ProgressText(clock_.NowMs() - transferStartMs_) << std::endl;
}

void TerminalWindow::EndLine() {
    if (lineOpen_) {
        out_ << std::endl;
        lineOpen_ = false;
        lineLength_ = 0;
    }
}

}  // namespace velt::cli
