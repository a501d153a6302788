#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "Clock.h"
#include "Interrupts.h"
#include "UpdateSequence.h"
#include "WindowSystem.h"

namespace velt::cli {

// The update window's seam for a terminal. Button captions become status lines, each
// accepted record moves a progress display, message boxes go to the error stream, and
// DoEvents is where Ctrl-C and the re-enumeration timeout reach the update.
class TerminalWindow final : public WindowSystem {
  public:
    struct Settings {
        // Redraw one progress line in place; otherwise write lines a log can keep.
        bool redraw = false;
        // Bound on the time until the first data report; 0: none.
        std::uint32_t timeoutMs = 0;
        // Whole records of the image: what a complete transfer sends.
        int totalRecords = 0;
    };

    TerminalWindow(std::ostream& out, std::ostream& err, Clock& clock, Interrupts& interrupts,
                   UpdateCloseGate& gate, const Settings& settings);

    // The same as a Ctrl-C press.
    void Interrupt() { interrupts_.Interrupt(); }

    bool timedOut() const { return timedOut_; }
    bool interrupted() const { return interrupted_; }
    // Records the device accepted so far.
    int recordsSent() const { return recordsSent_; }
    std::optional<int> unloadStatus() const { return unloadStatus_; }

    void SetCaption(Control control, const std::string& text) override;
    void SetEnabled(Control, bool) override {}
    void SetVisible(Control, bool) override {}
    float GetWidth(Control) override { return 0.0F; }
    void SetWidth(Control control, float twips) override;
    void Refresh(Control) override {}
    void SetWindowTitle(const std::string&) override {}
    void ShowWindow() override {}
    void MessageBox(const std::string& text, const std::string& title, int style) override;
    void DoEvents() override;
    void Unload(int exitStatus) override { unloadStatus_ = exitStatus; }

  private:
    void RecordAccepted();
    void DrawProgress();
    void LogProgress();
    // Ends a progress line still being redrawn, so other output starts on its own line.
    void EndLine();
    // "  45%  90/200 records  2,000 B/s  0:05 left"
    std::string ProgressText(std::uint64_t elapsedMs) const;

    std::ostream& out_;
    std::ostream& err_;
    Clock& clock_;
    Interrupts& interrupts_;
    UpdateCloseGate& gate_;
    Settings settings_;

    std::uint64_t startMs_;
    std::uint64_t transferStartMs_ = 0;
    int baselineInterrupts_;
    int handledInterrupts_ = 0;
    bool deferralShown_ = false;
    bool interrupted_ = false;
    bool timedOut_ = false;
    bool transferring_ = false;
    int recordsSent_ = 0;
    int shownPercent_ = -1;
    int loggedTenth_ = 0;
    std::size_t lineLength_ = 0;
    bool lineOpen_ = false;
    std::optional<int> unloadStatus_;
};

// "m:ss"
std::string MinutesSeconds(std::uint64_t milliseconds);

}  // namespace velt::cli
