#include "app/IdentityDisplay.h"

#include <optional>

#include "device/IdentityText.h"

namespace velt {

namespace {

constexpr std::uint32_t kQueryPauseMs = 20;

std::optional<std::string> Ask(OpenDevice& velt, HidString which, Clock& clock) {
    clock.SleepMs(kQueryPauseMs);
    if (!velt.isOpen()) {
        return std::nullopt;
    }
    try {
        return velt.hid->GetString(which);
    } catch (const DeviceError&) {
        return std::nullopt;
    }
}

}  // namespace

void ShowDeviceInfo(OpenDevice& velt, IdentityLabels& labels, Clock& clock) {
    if (!velt.isOpen()) {
        labels.SetIdentityCaption(IdentityField::Manufacturer, "");
        labels.SetIdentityCaption(IdentityField::Product, "");
        labels.SetIdentityCaption(IdentityField::SerialNumber, "");
        labels.SetIdentityCaption(IdentityField::Version, " ");
        return;
    }
    if (const auto text = Ask(velt, HidString::Manufacturer, clock)) {
        labels.SetIdentityCaption(IdentityField::Manufacturer, " " + *text);
        labels.SetIdentityCaption(IdentityField::Version, FormatVersion(velt.info.version));
    }
    if (const auto text = Ask(velt, HidString::Product, clock)) {
        labels.SetIdentityCaption(IdentityField::Product, " " + *text);
    }
    if (const auto text = Ask(velt, HidString::SerialNumber, clock)) {
        labels.SetIdentityCaption(IdentityField::SerialNumber, " " + *text);
    }
}

}  // namespace velt
