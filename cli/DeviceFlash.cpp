#include "cli/DeviceFlash.h"

#include "line/FlashRecord.h"

namespace velt::cli {

void UpdateDevice(Session& session, const FlashOptions& options, const ImageLoad& image,
                  OpenDevice& velt, DeviceFilter following, UpdateListener& listener,
                  JsonEvents& json, FlashedDevice& device) {
    json.SetInner(listener);
    line::UpdateDevice(session.backend, session.clock, image, velt, std::move(following),
                       options.json ? static_cast<UpdateListener&>(json) : listener, device);
}

std::string RecordDevice(Session& session, const FlashOptions& options, JsonEvents& json,
                         const FlashedDevice& device, const Outcome& outcome,
                         const std::string& message) {
    if (session.recorder == nullptr) {
        return {};
    }
    const std::string lost = line::RecordEnd(
        *session.recorder, device.info, device.serial, device.versionBefore,
        line::ResultFields(outcome, device.result, message), device.endMs - device.startMs);
    if (lost.empty()) {
        return {};
    }
    const std::string unrecorded = std::string(kProgram) + ": " + lost;
    if (options.json) {
        // Named by the device even where the other objects of a single update are not.
        const std::string named = json.device();
        json.SetDevice(PlaceOf(device.info));
        json.Emit("record-failed", {{"message", unrecorded}});
        json.SetDevice(named);
    }
    return unrecorded;
}

}  // namespace velt::cli
