#include "update/UpdateSequence.h"

#include "device/VeltProtocol.h"
#include "update/DeviceProtocol.h"

namespace velt {

namespace {

constexpr std::uint32_t kPollPauseMs = 100;
constexpr std::uint32_t kCountingPauseMs = 10;
constexpr std::uint32_t kRecordPauseMs = 20;

UpdateResult Cancelled(CancelCause cause, int sent = 0, int total = 0) {
    UpdateResult result;
    result.outcome = UpdateOutcome::Cancelled;
    result.cause = cause;
    result.recordsSent = sent;
    result.totalRecords = total;
    return result;
}

UpdateResult Failed(UpdateError error) {
    UpdateResult result;
    result.outcome = UpdateOutcome::Failure;
    result.recordsSent = error.recordsSent;
    result.totalRecords = error.totalRecords;
    result.error = std::move(error);
    return result;
}

UpdateError Error(UpdateErrorKind kind, int total = 0) {
    UpdateError error;
    error.kind = kind;
    error.totalRecords = total;
    return error;
}

UpdateError TooShort(UpdateErrorKind kind, std::uint16_t length, std::uint16_t needed,
                     int total = 0) {
    UpdateError error = Error(kind, total);
    error.featureReportLength = length;
    error.neededLength = needed;
    return error;
}

// Sends the mode switch, then lets go of the device: it leaves the bus and comes back in its
// bootloader. Returns the failure when its report cannot carry the command.
std::optional<UpdateError> SwitchToBootloader(UpdateContext& context) {
    OpenDevice& velt = context.velt;
    context.listener.OnPhase(UpdatePhase::SwitchingToBootloader);
    if (velt.featureReportLength < protocol::modeSwitchReportLength) {
        return TooShort(UpdateErrorKind::SwitchTooShort, velt.featureReportLength,
                        protocol::modeSwitchReportLength);
    }
    try {
        SendModeSwitchReport(*velt.hid, velt.featureReportLength);
    } catch (const DeviceError&) {
        // Not a failure: a device that resets at once may fail the request it has just
        // obeyed. The wait tells.
    }
    velt.Close();
    return std::nullopt;
}

// One discovery pass that only a bootloader-mode device (the followed one, where there is
// one to follow) ends. Application-mode devices are passed over, wherever they are in the
// list: one not yet gone, ignoring the switch or another device altogether never gets a
// record, nor stalls the wait.
bool OpenBootloader(UpdateContext& context) {
    const auto inBootloader = [&follow = context.follow](const HidInterfaceInfo& info) {
        return info.productId == protocol::bootloaderProductId && (!follow || follow(info));
    };
    return OpenFirstVelt(context.backend, context.velt, nullptr, inBootloader);
}

// Polls every 100 ms, events first, until the bootloader answers; the pass that finds it
// opens it, once. Returns the cause when the wait was cancelled.
std::optional<CancelCause> WaitForBootloader(UpdateContext& context) {
    context.listener.OnPhase(UpdatePhase::WaitingForDevice);
    for (;;) {
        if (const auto cause = context.listener.ShouldStop()) {
            return cause;
        }
        context.clock.SleepMs(kPollPauseMs);
        const bool found = OpenBootloader(context);
        context.listener.OnDeviceSearched(context.velt);
        if (found) {
            return std::nullopt;
        }
    }
}

// Asks the freshly opened bootloader whether it is ready for records; says so at 0 of
// `total` first. Returns the failure when its report is too short or it does not answer.
std::optional<UpdateError> Probe(UpdateContext& context, int total) {
    const OpenDevice& velt = context.velt;
    if (velt.featureReportLength < protocol::dataReportLength) {
        return TooShort(UpdateErrorKind::RecordTooShort, velt.featureReportLength,
                        protocol::dataReportLength, total);
    }
    context.clock.SleepMs(kCountingPauseMs);
    context.listener.OnProgress(0, total);
    try {
        RunReadinessProbe(*velt.hid);
    } catch (const DeviceError& probe) {
        UpdateError error = Error(UpdateErrorKind::ProbeFailed, total);
        error.detail = probe.detail();
        return error;
    }
    return std::nullopt;
}

UpdateErrorKind SendFailure(const DeviceError& send) {
    switch (send.kind()) {
        case DeviceErrorKind::Disconnected:
            return UpdateErrorKind::DeviceLeft;
        case DeviceErrorKind::Refused:
            return UpdateErrorKind::RecordRefused;
        default:
            return UpdateErrorKind::DeviceFailed;
    }
}

// Streams the image to the bootloader as data reports, 20 ms apart, until the last one is
// accepted, one fails or the listener stops the update between two.
UpdateResult SendRecords(UpdateContext& context, const FirmwareImage& image) {
    UpdateListener& listener = context.listener;
    const int total = static_cast<int>(image.wholeRecords());
    listener.OnPhase(UpdatePhase::Transferring);
    DataReport report(context.velt.featureReportLength);
    for (int sent = 0; sent < total;) {
        report.Fill(image.Record(static_cast<std::size_t>(sent)));
        try {
            report.Send(*context.velt.hid);
        } catch (const DeviceError& send) {
            UpdateError error = Error(SendFailure(send), total);
            error.recordsSent = sent;
            error.detail = send.detail();
            return Failed(std::move(error));
        }
        context.clock.SleepMs(kRecordPauseMs);
        ++sent;
        listener.OnProgress(sent, total);
        if (const auto cause = listener.ShouldStop()) {
            return Cancelled(*cause, sent, total);
        }
    }
    listener.OnPhase(UpdatePhase::Finishing);
    UpdateResult done;
    done.outcome = UpdateOutcome::Success;
    done.recordsSent = done.totalRecords = total;
    return done;
}

// The update's steps, top-down; `switched` tells whether the mode switch went out.
UpdateResult RunSteps(UpdateContext& context, bool& switched) {
    // The image is refused before the device is touched, so the device is never left in
    // its bootloader for an image that was always going to be refused.
    context.listener.OnPhase(UpdatePhase::CheckingImage);
    if (!context.image.image) {
        UpdateError error = Error(UpdateErrorKind::ImageUnusable);
        error.detail = context.image.message;
        return Failed(std::move(error));
    }
    const FirmwareImage& image = *context.image.image;
    // Every end after the image check tells how many records there were to send.
    const int total = static_cast<int>(image.wholeRecords());

    if (context.velt.info.productId == protocol::applicationProductId) {
        if (auto error = SwitchToBootloader(context)) {
            error->totalRecords = total;
            return Failed(std::move(*error));
        }
        switched = true;
    } else {
        // Every transfer starts on a freshly opened device.
        context.velt.Close();
    }
    if (const auto cause = WaitForBootloader(context)) {
        return Cancelled(*cause, 0, total);
    }
    if (auto error = Probe(context, total)) {
        return Failed(std::move(*error));
    }
    return SendRecords(context, image);
}

}  // namespace

UpdateResult UpdateFirmware(UpdateContext& context) {
    if (!context.velt.isOpen()) {
        return {};
    }
    bool switched = false;
    UpdateResult result = RunSteps(context, switched);
    result.switched = switched;
    context.velt.Close();
    context.listener.OnFinished(result);
    return result;
}

}  // namespace velt
