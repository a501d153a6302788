#include "cli/JsonEvents.h"

#include "cli/DetachedOutput.h"
#include "cli/DeviceListing.h"
#include "cli/Text.h"
#include "device/IdentityText.h"
#include "line/FlashRecord.h"

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

}  // namespace

void JsonEvents::Emit(const char* event, const Json& fields, bool progress) {
    Json object{{"event", event}};
    if (!device_.empty()) {
        object["device"] = device_;
    }
    object.update(fields);
    const std::string line = line::JsonText(object) + '\n';
    const std::lock_guard lock(*writing_);
    if (progress) {
        WriteProgress(out_, line);
    } else {
        out_ << line << std::flush;
    }
}

void JsonEvents::Image(const std::string& path, const FirmwareImage& image,
                       const std::string& sha256) {
    Emit("image", {{"path", path},
                   {"bytes", image.size()},
                   {"records", image.wholeRecords()},
                   {"sha256", sha256}});
}

void JsonEvents::Device(const OpenDevice& velt, const std::optional<std::string>& serial) {
    const HidInterfaceInfo& found = velt.info;
    Json fields{{"path", found.path}};
    if (!found.location.empty()) {
        fields["location"] = found.location;
    }
    if (serial) {
        fields["serial"] = *serial;
    }
    fields["mode"] = ModeName(found.productId);
    fields["vendorId"] = Hex4(found.vendorId);
    fields["productId"] = Hex4(found.productId);
    fields["version"] = FormatVersion(found.version).substr(1);
    Emit("device", fields);
}

void JsonEvents::Result(const Outcome& outcome, const UpdateResult& update,
                        const std::string& message) {
    Emit("result", line::ResultFields(outcome, update, message));
}

void JsonEvents::OnPhase(UpdatePhase phase) {
    inner_->OnPhase(phase);
    Emit("phase", {{"phase", PhaseName(phase)}});
}

void JsonEvents::OnProgress(int recordsSent, int totalRecords) {
    inner_->OnProgress(recordsSent, totalRecords);
    const std::uint64_t now = clock_.NowMs();
    if (recordsSent > 0 && recordsSent < totalRecords && now - lastProgressMs_ < kProgressEveryMs) {
        return;
    }
    lastProgressMs_ = now;
    Emit("progress", {{"records", recordsSent}, {"total", totalRecords}}, true);
}

}  // namespace velt::cli
