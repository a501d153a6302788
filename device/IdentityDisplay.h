#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "DeviceState.h"
#include "HidPlatform.h"

namespace velt {

enum class IdentityField { Manufacturer, Product, Version, SerialNumber };

// Where the identity display writes its four values.
class IdentityLabels {
  public:
    virtual ~IdentityLabels() = default;
    virtual void SetIdentityCaption(IdentityField field, const std::string& text) = 0;
};

// Decodes a NUL-terminated UTF-16LE identity string to UTF-8: at most 50 code units,
// never half a surrogate pair; an unpaired surrogate becomes U+FFFD.
std::string DecodeIdentityString(const std::uint8_t* buffer, std::size_t byteLength);

// " major.MINORHEX", e.g. " 1.A" for 0x010A.
std::string FormatVersion(std::uint16_t versionNumber);

// Fills the four labels from the device state: blanks when no device is found, else
// manufacturer (with the version), product and serial number, each after a 20 ms pause.
// A failed query keeps its label's caption.
void ShowDeviceInfo(HidPlatform& platform, DeviceState& state, IdentityLabels& labels);

// FindTheHid, its result kept in deviceFound, then ShowDeviceInfo.
void RefreshDevice(HidPlatform& platform, DeviceState& state, IdentityLabels& labels);

}  // namespace velt
