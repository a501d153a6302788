#pragma once

#include <string>

#include "DeviceState.h"
#include "HidPlatform.h"
#include "WindowSystem.h"

namespace velt {

enum class UpdateOutcome { None, Success, Failure, Cancelled };

// Exit status of the program after an update with this outcome.
int ExitStatusFor(UpdateOutcome outcome);
// "none", "success", "failure", "cancelled".
const char* OutcomeName(UpdateOutcome outcome);

// The user's close request while an update runs. Before the first data report it
// cancels the update; once records flow it is deferred until the transfer ends, so the
// device is never left half-written by a click on the close box.
class UpdateCloseGate {
  public:
    bool updating() const { return updating_; }
    bool closeRequested() const { return closeRequested_; }
    void Begin() { updating_ = true; }
    void End() { updating_ = false; }
    void RequestClose() { closeRequested_ = true; }
    // Stops the update at the next event-processing step, during the transfer too (after
    // the record in flight). The window never asks for this; a command line may.
    void RequestStop() { stopRequested_ = true; }
    bool stopRequested() const { return stopRequested_; }
    // From the first data report on, a close request is deferred.
    void DataStarted() { dataStarted_ = true; }

    // Processes pending window events, then reads the close request. Returns false when
    // the update is to be cancelled.
    bool ProcessEvents(WindowSystem& window);

  private:
    bool updating_ = false;
    bool closeRequested_ = false;
    bool stopRequested_ = false;
    bool dataStarted_ = false;
    bool deferralShown_ = false;
};

struct UpdateContext {
    HidPlatform& platform;
    WindowSystem& window;
    DeviceState& state;
    std::string imagePath;
    short progressFullWidth;
    UpdateCloseGate& gate;
    // How messages call the image.
    std::string imageName = "Velt-USB.bin";
};

// The button's whole update, from the click to the unload of the window. Returns
// UpdateOutcome::None when the click was ignored (no device); the window is then left
// as it was.
UpdateOutcome btnUpgradeFW_Click(UpdateContext& context);

// Sends the mode switch, then polls until the device is back in its bootloader.
// Returns false when the user cancelled the wait.
bool EnterBootloader(UpdateContext& context);

}  // namespace velt
