#include "app/FrmMain.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "Product.h"
#include "app/IdentityDisplay.h"
#include "app/Layout.h"
#include "device/PlatformWords.h"
#include "platform/FileRead.h"
#include "update/FirmwareImage.h"
#include "update/Outcome.h"
#include "update/UpdateSequence.h"

namespace velt {

namespace {

constexpr const char* kDeferredTitle = "Velt-USB Firmware Update - closes when the update ends";
// How often the idle window asks the monitor; the monitor tells at once, so a plugged
// device shows within this.
constexpr std::uint32_t kDeviceTimerMs = 250;
// How long a device that came but would not be opened is tried again.
constexpr std::uint64_t kRetryOpenMs = 3000;

// The identity display's four values in the window's value labels.
class WindowIdentityLabels final : public IdentityLabels {
  public:
    explicit WindowIdentityLabels(WindowSystem& window) : window_(window) {}

    void SetIdentityCaption(IdentityField field, const std::string& text) override {
        window_.SetCaption(ControlFor(field), text);
    }

  private:
    static Control ControlFor(IdentityField field) {
        switch (field) {
            case IdentityField::Manufacturer:
                return Control::lblManuf;
            case IdentityField::Product:
                return Control::lblProduct;
            case IdentityField::Version:
                return Control::lblVersion;
            case IdentityField::SerialNumber:
                break;
        }
        return Control::lblSerialNumber;
    }

    WindowSystem& window_;
};

}  // namespace

FrmMain::FrmMain(WindowSystem& window, HidBackend& backend, Clock& clock,
                 std::string applicationFolder, std::string imageArgument, DeviceMonitor* monitor)
    : window_(window),
      backend_(backend),
      clock_(clock),
      monitor_(monitor),
      applicationFolder_(std::move(applicationFolder)),
      imageArgument_(std::move(imageArgument)),
      imageName_(imageArgument_.empty() ? product::imageName : imageArgument_) {}

std::string FrmMain::imagePath() const {
    if (!imageArgument_.empty()) {
        return imageArgument_;
    }
    return applicationFolder_ + static_cast<char>(std::filesystem::path::preferred_separator) +
           product::imageName;
}

void FrmMain::Form_Load() {
    if (!FileExists(imagePath())) {
        fileMissing = true;
        // What is there but out of reach (a folder that may not be searched, a path on
        // through a file) is said as the command line says it; only what is plainly not
        // there is "Cannot find".
        const ImageLoad load = LoadFirmwareImage(imagePath(), imageName_);
        fileError_ = load.missing || load.image ? "Cannot find " + imageName_ : load.message;
        // No update will run: the bar stays empty behind the box.
        window_.SetVisible(Control::Pic, false);
        return;
    }
    window_.ShowWindow();
    // Rounds half to even, as the default floating-point environment does.
    progressFullWidth = static_cast<short>(std::nearbyint(window_.GetWidth(Control::Pic)));
    window_.SetVisible(Control::Pic, false);
    if (monitor_ != nullptr) {
        // Listening before the first pass, so that no device comes unseen in between.
        monitor_->WaitForChange(0);
        window_.StartTimer(kDeviceTimerMs);
    }
    OpenFirstVelt(backend_, velt, &unusable_);
    WindowIdentityLabels labels(window_);
    ShowDeviceInfo(velt, labels, clock_);
}

void FrmMain::Form_Activate() {
    if (activated_) {
        return;
    }
    activated_ = true;
    if (fileMissing) {
        const Outcome refused = OutcomeOf(Refusal::ImageMissing, fileError_);
        window_.MessageBox(refused.reason, refused.heading, kMessageBoxCritical);
        window_.Unload(refused.exitStatus);
        return;
    }
    // A device that is present but may not be opened would otherwise look like no
    // device at all.
    std::string nodes;
    for (const UnusableDevice& device : unusable_) {
        if (device.error.kind() == DeviceErrorKind::PermissionDenied) {
            nodes += (nodes.empty() ? "" : ", ") + device.info.path;
        }
    }
    if (!velt.isOpen() && !nodes.empty()) {
        boxOpen_ = true;
        window_.MessageBox("A Velt-USB is attached (" + nodes +
                               "), but this user may not open it: permission denied.\n\n" +
                               PermissionAdvice(),
                           "Permission Error", kMessageBoxCritical);
        boxOpen_ = false;
    }
}

void FrmMain::Form_Unload() {
    unloaded_ = true;
    velt.Close();
}

void FrmMain::Form_Terminate() {
    velt.Close();
    if (!unloaded_) {
        window_.Unload(0);
    }
}

void FrmMain::btnUpgradeFW_Click() {
    if (!velt.isOpen() || updating_) {
        return;
    }
    window_.SetEnabled(Control::btnUpgradeFW, false);
    updating_ = true;
    // Read and checked at the click, as it is then; the update sends exactly these bytes.
    const ImageLoad image = LoadFirmwareImage(imagePath(), imageName_);
    // With several Velt-USBs attached, the one switched is the one written.
    UpdateContext context{backend_, clock_, velt, *this, image, Following(backend_, velt)};
    const UpdateResult result = UpdateFirmware(context);
    outcome_ = result.outcome;
    updating_ = false;
    window_.Unload(OutcomeOf(result).exitStatus);
}

void FrmMain::tmrDevices_Timer() {
    // The update follows its own device; the timer also ticks inside a box's loop, and the
    // box is answered first.
    if (monitor_ == nullptr || updating_ || unloaded_ || boxOpen_) {
        return;
    }
    const std::uint64_t now = clock_.NowMs();
    if (monitor_->WaitForChange(0)) {
        retryUntilMs_ = now + kRetryOpenMs;
    } else if (!retrying_ || now >= retryUntilMs_) {
        retrying_ = false;
        return;
    }
    retrying_ = FollowDevices();
}

bool FrmMain::FollowDevices() {
    if (velt.isOpen()) {
        const std::vector<HidInterfaceInfo> present = backend_.ListInterfaces();
        // The same path may name another device by now; its location and mode tell.
        const bool stays = std::any_of(present.begin(), present.end(), [&](const auto& info) {
            return info.path == velt.info.path && info.location == velt.info.location &&
                   info.productId == velt.info.productId;
        });
        if (stays) {
            return false;
        }
        velt.Close();
    }
    std::vector<UnusableDevice> unusable;
    OpenFirstVelt(backend_, velt, &unusable);
    WindowIdentityLabels labels(window_);
    ShowDeviceInfo(velt, labels, clock_);
    return !velt.isOpen() && !unusable.empty();
}

void FrmMain::Form_CloseRequest() {
    if (updating_) {
        closeRequested_ = true;
        return;
    }
    if (!unloaded_) {
        window_.Unload(0);
    }
}

void FrmMain::OnPhase(UpdatePhase phase) {
    switch (phase) {
        case UpdatePhase::SwitchingToBootloader:
            window_.SetCaption(Control::btnUpgradeFW, "Switching to bootloader...");
            break;
        case UpdatePhase::Transferring:
            recordsFlowing_ = true;
            window_.SetCaption(Control::btnUpgradeFW, "Updating firmware...");
            break;
        case UpdatePhase::Finishing:
            window_.SetCaption(Control::btnUpgradeFW, "Finishing...");
            window_.SetWidth(Control::Pic, 0.0F);
            break;
        case UpdatePhase::CheckingImage:
        case UpdatePhase::WaitingForDevice:
            break;
    }
}

void FrmMain::OnDeviceSearched(OpenDevice& searched) {
    WindowIdentityLabels labels(window_);
    ShowDeviceInfo(searched, labels, clock_);
}

void FrmMain::OnProgress(int recordsSent, int totalRecords) {
    if (recordsSent == 0) {
        window_.SetVisible(Control::Pic, true);
        window_.SetWidth(Control::Pic, 0.0F);
        return;
    }
    // The bar counts one step more than there are records, so it never fills before it
    // is reset: the full width times the records sent, over the records plus one.
    const double width =
        static_cast<double>(static_cast<std::int64_t>(progressFullWidth) * recordsSent) /
        (totalRecords + 1);
    window_.SetWidth(Control::Pic, static_cast<float>(width));
    window_.Refresh(Control::Pic);
}

void FrmMain::OnFinished(const UpdateResult& result) {
    if (result.outcome != UpdateOutcome::Failure || !result.error) {
        return;
    }
    window_.SetWidth(Control::Pic, 0.0F);
    const Outcome outcome = OutcomeOf(result);
    window_.MessageBox(outcome.reason, outcome.heading, kMessageBoxCritical);
}

std::optional<CancelCause> FrmMain::ShouldStop() {
    window_.DoEvents();
    if (!closeRequested_) {
        return std::nullopt;
    }
    if (!recordsFlowing_) {
        return CancelCause::User;
    }
    if (!deferralShown_) {
        deferralShown_ = true;
        window_.SetWindowTitle(kDeferredTitle);
    }
    return std::nullopt;
}

}  // namespace velt
