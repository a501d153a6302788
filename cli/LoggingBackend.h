#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "device/HidDevice.h"

namespace velt::cli {

// Passes every device operation on and writes it with its result to a log, one line
// each ("hid: Open /dev/hidraw3 -> ok").
class LoggingBackend final : public HidBackend {
  public:
    LoggingBackend(HidBackend& inner, std::ostream& log) : inner_(inner), log_(log) {}

    std::vector<HidInterfaceInfo> ListInterfaces() override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

  private:
    HidBackend& inner_;
    std::ostream& log_;
};

}  // namespace velt::cli
