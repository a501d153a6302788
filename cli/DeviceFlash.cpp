#include "cli/DeviceFlash.h"

#include "cli/FlashRecord.h"
#include "update/UpdateSequence.h"

namespace velt::cli {

std::string PlaceOf(const HidInterfaceInfo& info) {
    return info.location.empty() ? info.path : info.location;
}

void UpdateDevice(Session& session, const FlashOptions& options, const ImageLoad& image,
                  OpenDevice& velt, DeviceFilter following, UpdateListener& listener,
                  JsonEvents& json, FlashedDevice& device) {
    device.versionBefore = velt.info.version;
    json.SetInner(listener);
    UpdateContext context{session.backend,
                          session.clock,
                          velt,
                          options.json ? static_cast<UpdateListener&>(json) : listener,
                          image,
                          std::move(following)};
    device.result = UpdateFirmware(context);
    device.endMs = session.clock.NowMs();
}

std::string RecordDevice(Session& session, const FlashOptions& options, JsonEvents& json,
                         const FlashedDevice& device, const Outcome& outcome,
                         const std::string& message) {
    if (session.recorder == nullptr) {
        return {};
    }
    const std::string unrecorded =
        RecordEnd(*session.recorder, device.info, device.serial, device.versionBefore,
                  ResultFields(outcome, device.result, message), device.endMs - device.startMs);
    if (!unrecorded.empty() && options.json) {
        // Named by the device even where the other objects of a single update are not.
        const std::string named = json.device();
        json.SetDevice(PlaceOf(device.info));
        json.Emit("record-failed", {{"message", unrecorded}});
        json.SetDevice(named);
    }
    return unrecorded;
}

}  // namespace velt::cli
