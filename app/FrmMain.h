#pragma once

#include <string>
#include <vector>

#include "DeviceState.h"
#include "HidPlatform.h"
#include "UpdateSequence.h"
#include "WindowSystem.h"

namespace velt {

// True when the platform can tell anything about the path: a file, a folder, anything.
bool FileExists(const std::string& path);

// The one window's logic: start-up, identity display, the update button and shut-down.
// It reaches the window only through WindowSystem and the device only through
// HidPlatform.
class FrmMain final : public WindowEvents {
  public:
    FrmMain(WindowSystem& window, HidPlatform& platform, std::string applicationFolder);

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;
    void Form_Terminate() override;
    void btnUpgradeFW_Click() override;
    void Form_CloseRequest() override;

    // The application folder, the platform's separator, then the image's name.
    std::string imagePath() const;

    bool fileMissing = false;
    short progressFullWidth = 0;
    DeviceState state;

    // What the last update came to; UpdateOutcome::None while none was started.
    UpdateOutcome outcome() const { return outcome_; }

  private:
    void RefreshDevice();

    WindowSystem& window_;
    HidPlatform& platform_;
    std::string applicationFolder_;
    UpdateCloseGate closeGate_;
    UpdateOutcome outcome_ = UpdateOutcome::None;
    bool activated_ = false;
    bool unloaded_ = false;
    std::vector<std::string> refusedDevices_;
};

}  // namespace velt
