#include "cli/JsonEvents.h"

#include "cli/DeviceListing.h"
#include "cli/Text.h"
#include "device/IdentityDisplay.h"

namespace velt::cli {

namespace {

constexpr std::uint64_t kProgressEveryMs = 1000;

const char* PhaseName(UpdatePhase phase) {
    switch (phase) {
        case UpdatePhase::CheckingImage:
            return "checking-image";
        case UpdatePhase::SwitchingToBootloader:
            return "switching-to-bootloader";
        case UpdatePhase::WaitingForDevice:
            return "waiting-for-device";
        case UpdatePhase::Transferring:
            return "transferring";
        case UpdatePhase::Finishing:
            break;
    }
    return "finishing";
}

const char* CauseName(CancelCause cause) {
    switch (cause) {
        case CancelCause::Timeout:
            return "timeout";
        case CancelCause::Interrupt:
            return "interrupt";
        case CancelCause::User:
            break;
    }
    return "user";
}

}  // namespace

const char* UpdateErrorName(UpdateErrorKind kind) {
    switch (kind) {
        case UpdateErrorKind::ImageUnusable:
            return "image-unusable";
        case UpdateErrorKind::ReportTooShort:
            return "report-too-short";
        case UpdateErrorKind::ProbeFailed:
            return "probe-failed";
        case UpdateErrorKind::RecordRefused:
            return "record-refused";
        case UpdateErrorKind::DeviceLeft:
            return "device-left";
        case UpdateErrorKind::DeviceFailed:
            break;
    }
    return "device-failed";
}

void JsonEvents::Emit(const char* event, const std::string& fields) {
    std::string line = std::string(R"({"event":")") + event + '"';
    if (!device_.empty()) {
        line += R"(,"device":)" + JsonString(device_);
    }
    line += fields + "}\n";
    const std::lock_guard lock(*writing_);
    out_ << line << std::flush;
}

void JsonEvents::Image(const std::string& path, const FirmwareImage& image,
                       const std::string& sha256) {
    Emit("image", R"(,"path":)" + JsonString(path) + R"(,"bytes":)" + std::to_string(image.size()) +
                      R"(,"records":)" + std::to_string(image.wholeRecords()) + R"(,"sha256":")" +
                      sha256 + '"');
}

void JsonEvents::Device(const DeviceState& state, const std::optional<std::string>& serial) {
    const DeviceAttributes& found = state.deviceAttributes;
    std::string fields = R"(,"path":)" + JsonString(state.devicePath);
    if (!state.deviceLocation.empty()) {
        fields += R"(,"location":)" + JsonString(state.deviceLocation);
    }
    if (serial) {
        fields += R"(,"serial":)" + JsonString(*serial);
    }
    Emit("device", fields + R"(,"mode":")" + ModeName(found.ProductID) + R"(","vendorId":")" +
                       Hex4(found.VendorID) + R"(","productId":")" + Hex4(found.ProductID) +
                       R"(","version":")" + FormatVersion(found.VersionNumber).substr(1) + '"');
}

void JsonEvents::Result(UpdateOutcome outcome, int exitStatus, const UpdateResult& update,
                        const std::string& error, const std::string& message) {
    std::string fields = R"(,"result":")" + std::string(OutcomeName(outcome)) + R"(","exit":)" +
                         std::to_string(exitStatus) + R"(,"records":)" +
                         std::to_string(update.recordsSent) + R"(,"total":)" +
                         std::to_string(update.totalRecords);
    if (outcome == UpdateOutcome::Cancelled) {
        fields += R"(,"cause":")" + std::string(CauseName(update.cause)) + '"';
    }
    if (!error.empty()) {
        fields += R"(,"error":")" + error + R"(","message":)" + JsonString(message);
    }
    Emit("result", fields);
}

void JsonEvents::OnPhase(UpdatePhase phase) {
    inner_->OnPhase(phase);
    Emit("phase", R"(,"phase":")" + std::string(PhaseName(phase)) + '"');
}

void JsonEvents::OnProgress(int recordsSent, int totalRecords) {
    inner_->OnProgress(recordsSent, totalRecords);
    const std::uint64_t now = clock_.NowMs();
    if (recordsSent > 0 && recordsSent < totalRecords && now - lastProgressMs_ < kProgressEveryMs) {
        return;
    }
    lastProgressMs_ = now;
    Emit("progress", R"(,"records":)" + std::to_string(recordsSent) + R"(,"total":)" +
                         std::to_string(totalRecords));
}

}  // namespace velt::cli
