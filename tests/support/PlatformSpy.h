#pragma once

#include <functional>
#include <memory>
#include <string>

#include "HidPlatform.h"

namespace velt::test {

// Passes every call on to a real platform and lets a test act at chosen moments.
class PlatformSpy final : public HidPlatform {
  public:
    explicit PlatformSpy(HidPlatform& inner) : inner_(inner) {}

    std::function<void()> onList;
    std::function<void(std::uint32_t)> onSleep;

    std::unique_ptr<HidInterfaceList> ListInterfaces() override {
        if (onList) {
            onList();
        }
        return inner_.ListInterfaces();
    }
    HidHandle Open(const std::string& path, bool overlapped) override {
        return inner_.Open(path, overlapped);
    }
    OpenError LastOpenError() const override { return inner_.LastOpenError(); }
    bool PeekProductId(const std::string& path, std::uint16_t& productId) override {
        return inner_.PeekProductId(path, productId);
    }
    bool Close(HidHandle handle) override { return inner_.Close(handle); }
    bool GetAttributes(HidHandle handle, HiddAttributes& attributes) override {
        return inner_.GetAttributes(handle, attributes);
    }
    bool GetCaps(HidHandle handle, HidpCaps& caps) override { return inner_.GetCaps(handle, caps); }
    bool GetString(HidHandle handle, HidString which, std::uint8_t* buffer,
                   std::size_t byteLength) override {
        return inner_.GetString(handle, which, buffer, byteLength);
    }
    bool SetFeature(HidHandle handle, const std::uint8_t* report, std::size_t length) override {
        return inner_.SetFeature(handle, report, length);
    }
    void Sleep(std::uint32_t milliseconds) override {
        if (onSleep) {
            onSleep(milliseconds);
        }
        inner_.Sleep(milliseconds);
    }

  private:
    HidPlatform& inner_;
};

}  // namespace velt::test
