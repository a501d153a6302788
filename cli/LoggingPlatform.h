#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "HidPlatform.h"

namespace velt::cli {

// Passes every device operation on and writes it with its result to a log, one line
// each ("hid: Open /dev/hidraw3 -> handle 5"). Pauses are not device operations and
// are not logged.
class LoggingPlatform final : public HidPlatform {
  public:
    LoggingPlatform(HidPlatform& inner, std::ostream& log) : inner_(inner), log_(log) {}

    std::unique_ptr<HidInterfaceList> ListInterfaces() override;
    HidHandle Open(const std::string& path, bool overlapped) override;
    OpenError LastOpenError() const override { return inner_.LastOpenError(); }
    bool PeekProductId(const std::string& path, std::uint16_t& productId) override;
    bool Close(HidHandle handle) override;
    bool GetAttributes(HidHandle handle, HiddAttributes& attributes) override;
    bool GetCaps(HidHandle handle, HidpCaps& caps) override;
    bool GetString(HidHandle handle, HidString which, std::uint8_t* buffer,
                   std::size_t byteLength) override;
    bool SetFeature(HidHandle handle, const std::uint8_t* report, std::size_t length) override;
    void Sleep(std::uint32_t milliseconds) override { inner_.Sleep(milliseconds); }

  private:
    void Log(const std::string& text);

    HidPlatform& inner_;
    std::ostream& log_;
};

}  // namespace velt::cli
