#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "cli/DeviceBoard.h"
#include "cli/JsonEvents.h"
#include "cli/Session.h"
#include "line/ProductionLine.h"
#include "update/FirmwareImage.h"

namespace velt::cli {

// Several devices flashed side by side (--all, --watch) as the terminal shows them: a row
// of the board per device and, with --json, its objects; at the end a table, the summary
// and the exit status.
class LineView final : public line::LineListener {
  public:
    LineView(Session& session, const FlashOptions& options, JsonEvents& json);

    DeviceBoard& board() { return board_; }
    // The end table, the summary object and the exit status, once every device is done.
    int Finish(line::ProductionLine& line);

    std::unique_ptr<line::RunReports> Starting(const line::DeviceRun& run) override;
    void Message(const std::string& text, bool problem) override { board_.Message(text, problem); }
    void Reaped(const line::DeviceRun& run) override;
    void AlreadyDone(const std::string& key, const HidInterfaceInfo& info,
                     const std::optional<std::string>& serial, bool recorded) override;
    // Until Ctrl-C.
    bool GoOn() override { return session_.interrupts.Count() == pressed_; }

  private:
    class Row;
    void PrintTable(const line::ProductionLine& line);

    Session& session_;
    const FlashOptions& options_;
    JsonEvents& json_;
    std::mutex jsonLock_;
    DeviceBoard board_;
    const int pressed_;
    int done_ = 0;
    int failed_ = 0;
};

// Flashes every Velt-USB present, side by side, each at its own pace and each followed
// across its re-enumeration by its location (--all). Returns the exit status: 0 only when
// every device took the whole image. `image` holds the checked image.
int FlashAll(Session& session, const FlashOptions& options, const ImageLoad& image,
             JsonEvents& json);

}  // namespace velt::cli
