#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/production/ProductionOptions.h"
#include "app/production/ProductionWindow.h"

namespace velt::production {

// A picture is taken this long after the last change, so that the window has painted it.
inline constexpr int kPaintBeforePictureMs = 300;

// How a production program runs for the scripts and tests that start it unattended
// (--screenshot, --close-after-ms): passes everything on to the window, and tells from the
// tiles the moment every device the run waits for has ended, none still being written.
class UnattendedRun final : public ProductionWindow {
  public:
    // Waits for the devices of the simulated bus (`simulated`), else the count expected.
    // `settled` is called once, on the window's thread; it may be empty.
    UnattendedRun(ProductionWindow& window, const ProductionOptions& options, std::size_t simulated,
                  std::function<void()> settled);

    // Whether message boxes are answered for the operator.
    bool unattended() const { return unattended_; }
    // One line per tile and the counters, as scripts read them at the end.
    void PrintResults(std::ostream& out) const;

    void ShowSetup(const Setup& setup) override { window_.ShowSetup(setup); }
    void ShowArmed(bool armed, bool canArm) override { window_.ShowArmed(armed, canArm); }
    void ShowTiles(const std::vector<Tile>& tiles) override;
    void ShowCounters(const Counters& counters) override;
    void ShowStatus(const std::string& text) override { window_.ShowStatus(text); }
    void Alert(const std::string& text, const std::string& title) override {
        window_.Alert(text, title);
    }
    bool Ask(const std::string& question, const std::string& title) override {
        return window_.Ask(question, title);
    }
    void StartTimer(std::uint32_t intervalMs) override { window_.StartTimer(intervalMs); }
    void Close(int exitStatus) override { window_.Close(exitStatus); }

  private:
    ProductionWindow& window_;
    bool unattended_;
    int devices_;
    std::function<void()> settled_;
    std::vector<Tile> tiles_;
    Counters counters_;
};

}  // namespace velt::production
