#include "device/HidDevice.h"

namespace velt {

const char* HidStringName(HidString which) {
    switch (which) {
        case HidString::Manufacturer:
            return "Manufacturer";
        case HidString::Product:
            return "Product";
        case HidString::SerialNumber:
            break;
    }
    return "SerialNumber";
}

}  // namespace velt
