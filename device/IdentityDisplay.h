#pragma once

#include <cstdint>
#include <string>

#include "device/DeviceState.h"
#include "platform/Clock.h"

namespace velt {

enum class IdentityField { Manufacturer, Product, Version, SerialNumber };

// Where the identity display writes its four values.
class IdentityLabels {
  public:
    virtual ~IdentityLabels() = default;
    virtual void SetIdentityCaption(IdentityField field, const std::string& text) = 0;
};

// " major.MINORHEX", e.g. " 1.A" for 0x010A.
std::string FormatVersion(std::uint16_t versionNumber);

// Fills the four labels from the device state: blanks when no device is found, else
// manufacturer (with the version), product and serial number, each query after a 20 ms
// pause, since the device answers slowly right after it was opened. A failed query keeps
// its label's caption.
void ShowDeviceInfo(DeviceState& state, IdentityLabels& labels, Clock& clock);

}  // namespace velt
