#pragma once

#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "device/HidDevice.h"

namespace velt::cli {

// Passes every device operation on and writes it with its result to a log, one line
// each ("hid: Open /dev/hidraw3 -> ok"). Devices flashed side by side log through one
// lock, so that their lines never interleave.
class LoggingBackend final : public HidBackend {
  public:
    LoggingBackend(HidBackend& inner, std::ostream& log) : inner_(inner), log_(log) {}

    std::vector<HidInterfaceInfo> ListInterfaces() override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

    // Writes "hid: <text>" as one line.
    void Line(const std::string& text);

  private:
    HidBackend& inner_;
    std::ostream& log_;
    std::mutex lock_;
};

}  // namespace velt::cli
