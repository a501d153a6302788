#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/DemoDriver.h"
#include "app/DemoOptions.h"
#include "app/FrmMain.h"
#include "app/Unattended.h"
#include "app/WindowSystem.h"

namespace velt {

// What the demo program needs of one view to run the window on the simulated bus.
class DemoView {
  public:
    virtual ~DemoView() = default;
    // Why no window can be opened here (no display), or nullopt.
    virtual std::optional<std::string> Unavailable() { return std::nullopt; }
    // The folder beside the program that holds the sample image; asked once the window is
    // open.
    virtual std::string ImageFolder() = 0;
    // Makes the window, once, after the options were read.
    virtual WindowSystem& OpenWindow() = 0;
    // The demo's doings on that window, by the view's means.
    virtual std::unique_ptr<DemoDriver> Driver(FrmMain& logic, const DemoOptions& options) = 0;
    // `told` hears of every message box before it runs; with `answer`, the view closes it
    // with OK after a while, for unattended runs.
    virtual void ObserveMessageBoxes(
        std::function<void(const std::string& title, const std::string& text)> told,
        bool answer) = 0;
    // Runs the window until it is unloaded; its exit status.
    virtual int Run(DemoDriver& driver) = 0;
};

// The demo program: its options, the simulated bus and the window's logic on `view`, and
// on standard output one result line for scripts however it ends, a bad option included.
int RunDemoProgram(int argc, const char* const* argv, DemoView& view);

}  // namespace velt
