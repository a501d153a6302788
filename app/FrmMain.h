#pragma once

#include <string>
#include <vector>

#include "app/WindowSystem.h"
#include "device/DeviceMonitor.h"
#include "device/Discovery.h"
#include "device/HidDevice.h"
#include "device/OpenDevice.h"
#include "platform/Clock.h"
#include "update/UpdateListener.h"

namespace velt {

// The one window's logic: start-up, identity display, the update button and shut-down.
// It reaches the window only through WindowSystem and the device only through the
// backend; it renders what the update reports.
class FrmMain final : public WindowEvents, private UpdateListener {
  public:
    // The image is the one named beside the program in `applicationFolder`, unless the user
    // named a file (`imageArgument`): then that file, and the messages call it by that name.
    // With a `monitor`, the idle window follows devices that come and go; without one, it
    // shows what start-up found.
    FrmMain(WindowSystem& window, HidBackend& backend, Clock& clock, std::string applicationFolder,
            std::string imageArgument = {}, DeviceMonitor* monitor = nullptr);

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;
    void Form_Terminate() override;
    void btnUpgradeFW_Click() override;
    void tmrDevices_Timer() override;
    void Form_CloseRequest() override;

    // The file named by the user, or the application folder, the platform's separator, then
    // the image's name.
    std::string imagePath() const;

    // The image is not there to be checked at start-up: the window is not shown.
    bool fileMissing = false;
    short progressFullWidth = 0;
    // The Velt-USB the window shows and updates; not open when none was found.
    OpenDevice velt;

    // What the last update came to; UpdateOutcome::None while none was started.
    UpdateOutcome outcome() const { return outcome_; }

  private:
    // UpdateListener
    void OnPhase(UpdatePhase phase) override;
    void OnDeviceSearched(OpenDevice& searched) override;
    void OnProgress(int recordsSent, int totalRecords) override;
    void OnFinished(const UpdateResult& result) override;
    std::optional<CancelCause> ShouldStop() override;

    // Lets go of the device when it has left the bus, then opens the first Velt-USB there is
    // when none is open, and shows what it holds. True when a Velt-USB was there but could
    // not be opened.
    bool FollowDevices();

    WindowSystem& window_;
    HidBackend& backend_;
    Clock& clock_;
    DeviceMonitor* monitor_;
    // A device just plugged in may refuse to be opened until the system has set its
    // permissions: until then, every tick tries again.
    bool retrying_ = false;
    bool boxOpen_ = false;
    std::uint64_t retryUntilMs_ = 0;
    std::string applicationFolder_;
    std::string imageArgument_;
    std::string imageName_;  // how messages call the image
    std::string fileError_;  // why, when fileMissing
    UpdateOutcome outcome_ = UpdateOutcome::None;
    bool activated_ = false;
    bool unloaded_ = false;
    std::vector<UnusableDevice> unusable_;
    // The close gate: a close request while an update runs cancels it before the first
    // record and is deferred once records flow, so a click on the close box never leaves
    // the device half-written.
    bool updating_ = false;
    bool closeRequested_ = false;
    bool recordsFlowing_ = false;
    bool deferralShown_ = false;
};

}  // namespace velt
