#include "device/IdentityDisplay.h"

#include <cstdio>
#include <optional>

namespace velt {

namespace {

constexpr std::uint32_t kQueryPauseMs = 20;

std::optional<std::string> Ask(DeviceState& state, HidString which, Clock& clock) {
    clock.SleepMs(kQueryPauseMs);
    if (!state.device) {
        return std::nullopt;
    }
    try {
        return state.device->GetString(which);
    } catch (const DeviceError&) {
        return std::nullopt;
    }
}

}  // namespace

std::string FormatVersion(std::uint16_t versionNumber) {
    char text[16];
    std::snprintf(text, sizeof text, " %u.%X", versionNumber / 256U, versionNumber % 256U);
    return text;
}

void ShowDeviceInfo(DeviceState& state, IdentityLabels& labels, Clock& clock) {
    if (!state.deviceFound) {
        labels.SetIdentityCaption(IdentityField::Manufacturer, "");
        labels.SetIdentityCaption(IdentityField::Product, "");
        labels.SetIdentityCaption(IdentityField::SerialNumber, "");
        labels.SetIdentityCaption(IdentityField::Version, " ");
        return;
    }
    if (const auto text = Ask(state, HidString::Manufacturer, clock)) {
        labels.SetIdentityCaption(IdentityField::Manufacturer, " " + *text);
        labels.SetIdentityCaption(IdentityField::Version,
                                  FormatVersion(state.deviceAttributes.VersionNumber));
    }
    if (const auto text = Ask(state, HidString::Product, clock)) {
        labels.SetIdentityCaption(IdentityField::Product, " " + *text);
    }
    if (const auto text = Ask(state, HidString::SerialNumber, clock)) {
        labels.SetIdentityCaption(IdentityField::SerialNumber, " " + *text);
    }
}

}  // namespace velt
