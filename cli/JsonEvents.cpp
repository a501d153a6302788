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

void JsonEvents::Image(const std::string& path, const FirmwareImage& image,
                       const std::string& sha256) {
    out_ << R"({"event":"image","path":)" << JsonString(path) << R"(,"bytes":)" << image.size()
         << R"(,"records":)" << image.wholeRecords() << R"(,"sha256":")" << sha256 << "\"}"
         << std::endl;
}

void JsonEvents::Device(const DeviceState& state) {
    const DeviceAttributes& found = state.deviceAttributes;
    out_ << R"({"event":"device","path":)" << JsonString(state.devicePath) << R"(,"mode":")"
         << ModeName(found.ProductID) << R"(","vendorId":")" << Hex4(found.VendorID)
         << R"(","productId":")" << Hex4(found.ProductID) << R"(","version":")"
         << FormatVersion(found.VersionNumber).substr(1) << "\"}" << std::endl;
}

void JsonEvents::Result(UpdateOutcome outcome, int exitStatus, const UpdateResult& update,
                        const std::string& error, const std::string& message) {
    out_ << R"({"event":"result","result":")" << OutcomeName(outcome) << R"(","exit":)"
         << exitStatus << R"(,"records":)" << update.recordsSent << R"(,"total":)"
         << update.totalRecords;
    if (outcome == UpdateOutcome::Cancelled) {
        out_ << R"(,"cause":")" << CauseName(update.cause) << '"';
    }
    if (!error.empty()) {
        out_ << R"(,"error":")" << error << R"(","message":)" << JsonString(message);
    }
    out_ << '}' << std::endl;
}

void JsonEvents::OnPhase(UpdatePhase phase) {
    inner_->OnPhase(phase);
    out_ << R"({"event":"phase","phase":")" << PhaseName(phase) << "\"}" << std::endl;
}

void JsonEvents::OnProgress(int recordsSent, int totalRecords) {
    inner_->OnProgress(recordsSent, totalRecords);
    const std::uint64_t now = clock_.NowMs();
    if (recordsSent > 0 && recordsSent < totalRecords && now - lastProgressMs_ < kProgressEveryMs) {
        return;
    }
    lastProgressMs_ = now;
    out_ << R"({"event":"progress","records":)" << recordsSent << R"(,"total":)" << totalRecords
         << '}' << std::endl;
}

}  // namespace velt::cli
