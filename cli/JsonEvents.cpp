#include "cli/JsonEvents.h"

#include "cli/DetachedOutput.h"
#include "cli/DeviceListing.h"
#include "cli/Text.h"
#include "device/IdentityText.h"

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

void JsonEvents::Emit(const char* event, const std::string& fields, bool progress) {
    std::string line = std::string(R"({"event":")") + event + '"';
    if (!device_.empty()) {
        line += R"(,"device":)" + JsonString(device_);
    }
    line += fields + "}\n";
    const std::lock_guard lock(*writing_);
    if (progress) {
        WriteProgress(out_, line);
    } else {
        out_ << line << std::flush;
    }
}

void JsonEvents::Image(const std::string& path, const FirmwareImage& image,
                       const std::string& sha256) {
    Emit("image", R"(,"path":)" + JsonString(path) + R"(,"bytes":)" + std::to_string(image.size()) +
                      R"(,"records":)" + std::to_string(image.wholeRecords()) + R"(,"sha256":")" +
                      sha256 + '"');
}

void JsonEvents::Device(const OpenDevice& velt, const std::optional<std::string>& serial) {
    const HidInterfaceInfo& found = velt.info;
    std::string fields = R"(,"path":)" + JsonString(found.path);
    if (!found.location.empty()) {
        fields += R"(,"location":)" + JsonString(found.location);
    }
    if (serial) {
        fields += R"(,"serial":)" + JsonString(*serial);
    }
    Emit("device", fields + R"(,"mode":")" + ModeName(found.productId) + R"(","vendorId":")" +
                       Hex4(found.vendorId) + R"(","productId":")" + Hex4(found.productId) +
                       R"(","version":")" + FormatVersion(found.version).substr(1) + '"');
}

std::string ResultFields(const Outcome& outcome, const UpdateResult& update,
                         const std::string& message) {
    std::string fields = R"(,"result":")" + std::string(outcome.result) + R"(","exit":)" +
                         std::to_string(outcome.exitStatus) + R"(,"records":)" +
                         std::to_string(update.recordsSent) + R"(,"total":)" +
                         std::to_string(update.totalRecords);
    if (update.outcome == UpdateOutcome::Cancelled) {
        fields += R"(,"cause":")" + std::string(CauseName(update.cause)) + '"';
    }
    if (*outcome.error != '\0') {
        fields +=
            R"(,"error":")" + std::string(outcome.error) + R"(","message":)" + JsonString(message);
    }
    return fields;
}

void JsonEvents::Result(const Outcome& outcome, const UpdateResult& update,
                        const std::string& message) {
    Emit("result", ResultFields(outcome, update, message));
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
    Emit("progress",
         R"(,"records":)" + std::to_string(recordsSent) + R"(,"total":)" +
             std::to_string(totalRecords),
         true);
}

}  // namespace velt::cli
