#include "update/UpdateSequence.h"

#include "device/Discovery.h"
#include "device/VeltProtocol.h"
#include "update/DeviceProtocol.h"

namespace velt {

namespace {

constexpr std::uint32_t kPollPauseMs = 100;

UpdateResult Finish(UpdateContext& context, UpdateResult result) {
    context.state.Close();
    context.listener.OnFinished(result);
    return result;
}

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

UpdateError TooShort(std::uint16_t length, std::uint16_t needed) {
    UpdateError error;
    error.kind = UpdateErrorKind::ReportTooShort;
    error.featureReportLength = length;
    error.neededLength = needed;
    return error;
}

// One discovery pass that only a bootloader-mode device (the followed one, where there is
// one to follow) ends. Application-mode devices are passed over, wherever they are in the
// list: one not yet gone, ignoring the switch or another device altogether never gets a
// record, nor stalls the wait.
bool FindBootloader(UpdateContext& context) {
    DeviceState& state = context.state;
    const auto inBootloader = [&follow = context.follow](const HidInterfaceInfo& info) {
        return info.productId == protocol::bootloaderProductId && (!follow || follow(info));
    };
    state.deviceFound = FindTheHid(context.backend, state, nullptr, inBootloader);
    return state.deviceFound;
}

void LetGoOfWrongMode(DeviceState& state) {
    state.Close();
    state.deviceFound = false;
}

// Polls every 100 ms, events first, until the bootloader answers.
std::optional<CancelCause> PollForBootloader(UpdateContext& context) {
    context.listener.OnPhase(UpdatePhase::WaitingForDevice);
    for (;;) {
        if (const auto cause = context.listener.ShouldStop()) {
            return cause;
        }
        context.clock.SleepMs(kPollPauseMs);
        const bool found = FindBootloader(context);
        context.listener.OnDeviceSearched(context.state);
        if (found) {
            return std::nullopt;
        }
    }
}

}  // namespace

std::optional<CancelCause> EnterBootloader(UpdateContext& context) {
    DeviceState& state = context.state;
    try {
        SendModeSwitchReport(*state.device, state.featureReportLength);
    } catch (const DeviceError&) {
        // Not a failure: a device that resets at once may fail the request it has just
        // obeyed. The wait below tells.
    }
    state.Close();
    context.clock.SleepMs(kPollPauseMs);
    if (FindBootloader(context)) {
        return std::nullopt;
    }
    return PollForBootloader(context);
}

UpdateResult SendFlashData(UpdateContext& context, const FirmwareImage& image) {
    constexpr std::uint32_t kCountingPauseMs = 10;
    constexpr std::uint32_t kRecordPauseMs = 20;
    DeviceState& state = context.state;
    UpdateListener& listener = context.listener;
    const int total = static_cast<int>(image.wholeRecords());

    if (state.featureReportLength < kMinDataReportLength) {
        UpdateError error = TooShort(state.featureReportLength, kMinDataReportLength);
        error.totalRecords = total;
        return Failed(std::move(error));
    }
    DataReport report(state.featureReportLength);
    context.clock.SleepMs(kCountingPauseMs);
    listener.OnProgress(0, total);

    UpdateError error;
    error.totalRecords = total;
    try {
        RunReadinessProbe(*state.device);
    } catch (const DeviceError& probe) {
        error.kind = UpdateErrorKind::ProbeFailed;
        error.detail = probe.detail();
        return Failed(std::move(error));
    }
    listener.OnPhase(UpdatePhase::Transferring);

    for (int sent = 0; sent < total;) {
        report.Fill(image.Record(static_cast<std::size_t>(sent)));
        try {
            report.Send(*state.device);
        } catch (const DeviceError& send) {
            state.Close();
            error.kind = send.kind() == DeviceErrorKind::Disconnected ? UpdateErrorKind::DeviceLeft
                         : send.kind() == DeviceErrorKind::Refused ? UpdateErrorKind::RecordRefused
                                                                   : UpdateErrorKind::DeviceFailed;
            error.recordsSent = sent;
            error.detail = send.detail();
            return Failed(std::move(error));
        }
        context.clock.SleepMs(kRecordPauseMs);
        ++sent;
        listener.OnProgress(sent, total);
        if (const auto cause = listener.ShouldStop()) {
            state.Close();
            return Cancelled(*cause, sent, total);
        }
    }
    listener.OnPhase(UpdatePhase::Finishing);
    state.Close();
    UpdateResult done;
    done.outcome = UpdateOutcome::Success;
    done.recordsSent = done.totalRecords = total;
    return done;
}

UpdateResult UpdateFirmware(UpdateContext& context) {
    DeviceState& state = context.state;
    if (!state.deviceFound || !state.device) {
        return {};
    }
    // The image is refused before the device is touched, so the device is never left in
    // its bootloader for an image that was always going to be refused.
    context.listener.OnPhase(UpdatePhase::CheckingImage);
    std::optional<FirmwareImage> loaded;
    if (context.image == nullptr) {
        ImageLoad load = LoadFirmwareImage(context.imagePath, context.imageName);
        if (!load.image) {
            UpdateError error;
            error.kind = UpdateErrorKind::ImageUnusable;
            error.detail = load.message;
            return Finish(context, Failed(std::move(error)));
        }
        loaded = std::move(load.image);
    }
    const FirmwareImage& image = context.image != nullptr ? *context.image : *loaded;

    if (state.deviceAttributes.ProductID == protocol::applicationProductId) {
        context.listener.OnPhase(UpdatePhase::SwitchingToBootloader);
        if (state.featureReportLength < kMinModeSwitchLength) {
            return Finish(context,
                          Failed(TooShort(state.featureReportLength, kMinModeSwitchLength)));
        }
        if (const auto cause = EnterBootloader(context)) {
            return Finish(context, Cancelled(*cause));
        }
    }

    // Every transfer starts on a freshly opened device.
    LetGoOfWrongMode(state);
    if (const auto cause = PollForBootloader(context)) {
        return Finish(context, Cancelled(*cause));
    }
    return Finish(context, SendFlashData(context, image));
}

}  // namespace velt
