#pragma once

#include <string>

#include "device/OpenDevice.h"
#include "platform/Clock.h"

namespace velt {

enum class IdentityField { Manufacturer, Product, Version, SerialNumber };

// Where the identity display writes its four values.
class IdentityLabels {
  public:
    virtual ~IdentityLabels() = default;
    virtual void SetIdentityCaption(IdentityField field, const std::string& text) = 0;
};

// The window's four identity labels filled from the open device: blanks when none is open, else
// manufacturer (with the version), product and serial number, each query after a 20 ms
// pause, since the device answers slowly right after it was opened. A failed query keeps
// its label's caption.
void ShowDeviceInfo(OpenDevice& velt, IdentityLabels& labels, Clock& clock);

}  // namespace velt
