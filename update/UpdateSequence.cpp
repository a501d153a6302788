#include "UpdateSequence.h"

#include "DeviceProtocol.h"
#include "Discovery.h"
#include "IdentityDisplay.h"
#include "ImageFile.h"
#include "ImageTransfer.h"
#include "WindowIdentityLabels.h"

namespace velt {

namespace {

constexpr std::uint32_t kPollPauseMs = 100;
constexpr const char* kUpdateErrorTitle = "Update Error";
constexpr const char* kFileErrorTitle = "File Error";
constexpr const char* kDeferredTitle = "Velt-USB Firmware Update - closes when the update ends";

// One discovery pass that only a bootloader-mode device ends: an application-mode
// device found meanwhile (not yet gone, or ignoring the switch) is let go again, so
// firmware records never reach it.
bool FindBootloader(UpdateContext& context) {
    DeviceState& state = context.state;
    state.deviceFound = FindTheHid(context.platform, state);
    return state.deviceFound && state.deviceAttributes.ProductID == bootloaderProductId;
}

void LetGoOfWrongMode(UpdateContext& context) {
    if (context.state.deviceFound) {
        CloseDeviceHandles(context.platform, context.state);
        context.state.deviceFound = false;
    }
}

// Polls every 100 ms, events first, until the bootloader answers. False: cancelled.
bool PollForBootloader(UpdateContext& context) {
    WindowIdentityLabels labels(context.window);
    for (;;) {
        if (!context.gate.ProcessEvents(context.window)) {
            return false;
        }
        context.platform.Sleep(kPollPauseMs);
        const bool found = FindBootloader(context);
        ShowDeviceInfo(context.platform, context.state, labels);
        if (found) {
            return true;
        }
        LetGoOfWrongMode(context);
    }
}

UpdateOutcome Finish(UpdateContext& context, UpdateOutcome outcome) {
    CloseDeviceHandles(context.platform, context.state);
    context.gate.End();
    context.window.Unload(ExitStatusFor(outcome));
    return outcome;
}

UpdateOutcome Fail(UpdateContext& context, const std::string& message, const char* title) {
    CloseDeviceHandles(context.platform, context.state);
    context.window.MessageBox(message, title, kMessageBoxCritical);
    return Finish(context, UpdateOutcome::Failure);
}

}  // namespace

int ExitStatusFor(UpdateOutcome outcome) {
    switch (outcome) {
        case UpdateOutcome::Failure:
            return 1;
        case UpdateOutcome::Cancelled:
            return 2;
        case UpdateOutcome::None:
        case UpdateOutcome::Success:
            break;
    }
    return 0;
}

const char* OutcomeName(UpdateOutcome outcome) {
    switch (outcome) {
        case UpdateOutcome::Success:
            return "success";
        case UpdateOutcome::Failure:
            return "failure";
        case UpdateOutcome::Cancelled:
            return "cancelled";
        case UpdateOutcome::None:
            break;
    }
    return "none";
}

bool UpdateCloseGate::ProcessEvents(WindowSystem& window) {
    window.DoEvents();
    if (stopRequested_) {
        return false;
    }
    if (!closeRequested_) {
        return true;
    }
    if (!dataStarted_) {
        return false;
    }
    if (!deferralShown_) {
        deferralShown_ = true;
        window.SetWindowTitle(kDeferredTitle);
    }
    return true;
}

bool EnterBootloader(UpdateContext& context) {
    DeviceState& state = context.state;
    if (!state.deviceFound) {
        return true;
    }
    // Not examined: a device that resets at once may fail the request it just obeyed.
    SendModeSwitchReport(context.platform, state);
    CloseDeviceHandles(context.platform, state);

    context.platform.Sleep(kPollPauseMs);
    if (FindBootloader(context)) {
        return true;
    }
    LetGoOfWrongMode(context);
    return PollForBootloader(context);
}

UpdateOutcome btnUpgradeFW_Click(UpdateContext& context) {
    DeviceState& state = context.state;
    WindowSystem& window = context.window;
    if (!state.deviceFound || context.gate.updating()) {
        return UpdateOutcome::None;
    }
    window.SetEnabled(Control::btnUpgradeFW, false);
    context.gate.Begin();

    // Refuse the image before the device is touched, so it is never left in its
    // bootloader for an image that was always going to be refused.
    const ImageCheck image = CheckImage(context.imagePath, context.imageName);
    if (!image.ok) {
        return Fail(context, image.message, kFileErrorTitle);
    }

    if (state.deviceAttributes.ProductID == applicationProductId) {
        window.SetCaption(Control::btnUpgradeFW, "Switching to bootloader...");
        const int length = state.deviceCaps.FeatureReportByteLength;
        if (length < kMinModeSwitchLength) {
            return Fail(context,
                        "The device's feature report holds " + std::to_string(length) +
                            " bytes; the switch to the bootloader needs at least " +
                            std::to_string(kMinModeSwitchLength) +
                            ". The device cannot be updated. No firmware was written.",
                        kUpdateErrorTitle);
        }
        if (!EnterBootloader(context)) {
            return Finish(context, UpdateOutcome::Cancelled);
        }
    }

    CloseDeviceHandles(context.platform, state);
    state.deviceFound = false;
    if (!PollForBootloader(context)) {
        return Finish(context, UpdateOutcome::Cancelled);
    }

    const TransferResult result = SendFlashData(context);
    if (result.failure == TransferFailure::Stopped) {
        return Finish(context, UpdateOutcome::Cancelled);
    }
    if (!result) {
        return Fail(context,
                    DescribeTransferFailure(result, state.deviceCaps.FeatureReportByteLength,
                                            context.imageName),
                    kUpdateErrorTitle);
    }
    return Finish(context, UpdateOutcome::Success);
}

}  // namespace velt
