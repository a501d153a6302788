#pragma once

#include "IdentityDisplay.h"
#include "WindowSystem.h"

namespace velt {

// Shows the identity display in the window's four value labels.
class WindowIdentityLabels final : public IdentityLabels {
  public:
    explicit WindowIdentityLabels(WindowSystem& window) : window_(window) {}

    void SetIdentityCaption(IdentityField field, const std::string& text) override {
        window_.SetCaption(ControlFor(field), text);
    }

    static Control ControlFor(IdentityField field) {
        switch (field) {
            case IdentityField::Manufacturer:
                return Control::lblManuf;
            case IdentityField::Product:
                return Control::lblProduct;
            case IdentityField::Version:
                return Control::lblVersion;
            case IdentityField::SerialNumber:
                break;
        }
        return Control::lblSerialNumber;
    }

  private:
    WindowSystem& window_;
};

}  // namespace velt
