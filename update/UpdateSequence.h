#pragma once

#include <string>

#include "DeviceState.h"
#include "HidPlatform.h"
#include "WindowSystem.h"

namespace velt {

enum class UpdateOutcome { None, Success, Failure, Cancelled };

// Exit status of the program after an update with this outcome.
int ExitStatusFor(UpdateOutcome outcome);

// The user's close request while an update runs. Before the first data report it
// cancels the update; afterwards it is deferred until the transfer ends.
class UpdateCloseGate {
public:
    bool updating() const { return updating_; }
    bool closeRequested() const { return closeRequested_; }
    void Begin() { updating_ = true; }
    void End() { updating_ = false; }
    void RequestClose() { closeRequested_ = true; }

private:
    bool updating_ = false;
    bool closeRequested_ = false;
};

struct UpdateContext {
    HidPlatform& platform;
    WindowSystem& window;
    DeviceState& state;
    std::string imagePath;
    short progressFullWidth;
    UpdateCloseGate& gate;
};

// The button's whole update, from the click to the unload of the window. Returns
// UpdateOutcome::None when the click was ignored (no device).
UpdateOutcome btnUpgradeFW_Click(UpdateContext& context);

}  // namespace velt
