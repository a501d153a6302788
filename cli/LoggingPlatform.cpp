#include "LoggingPlatform.h"

#include "DeviceListing.h"
#include "IdentityDisplay.h"

namespace velt::cli {

namespace {

std::string Result(bool ok) {
    return ok ? "ok" : "failed";
}

class LoggingList final : public HidInterfaceList {
  public:
    LoggingList(std::unique_ptr<HidInterfaceList> inner, std::ostream& log)
        : inner_(std::move(inner)), log_(log) {}

    bool Interface(std::uint32_t memberIndex, std::string& path) override {
        const bool ok = inner_->Interface(memberIndex, path);
        log_ << "hid: Interface " << memberIndex << " -> " << (ok ? path : "end") << std::endl;
        return ok;
    }

  private:
    std::unique_ptr<HidInterfaceList> inner_;
    std::ostream& log_;
};

}  // namespace

void LoggingPlatform::Log(const std::string& text) {
    log_ << "hid: " << text << std::endl;
}

std::unique_ptr<HidInterfaceList> LoggingPlatform::ListInterfaces() {
    auto list = inner_.ListInterfaces();
    Log(std::string("List -> ") + (list ? "ok" : "failed"));
    if (!list) {
        return list;
    }
    return std::make_unique<LoggingList>(std::move(list), log_);
}

HidHandle LoggingPlatform::Open(const std::string& path, bool overlapped) {
    const HidHandle handle = inner_.Open(path, overlapped);
    Log("Open " + path + (overlapped ? " overlapped" : "") + " -> " +
        (handle == kInvalidHandle ? "failed (" + OpenErrorText(inner_.LastOpenError()) + ")"
                                  : "handle " + std::to_string(handle)));
    return handle;
}

bool LoggingPlatform::PeekProductId(const std::string& path, std::uint16_t& productId) {
    const bool ok = inner_.PeekProductId(path, productId);
    Log("PeekProductId " + path + " -> " + (ok ? Hex4(productId) : "failed"));
    return ok;
}

bool LoggingPlatform::Close(HidHandle handle) {
    const bool ok = inner_.Close(handle);
    Log("Close " + std::to_string(handle) + " -> " + Result(ok));
    return ok;
}

bool LoggingPlatform::GetAttributes(HidHandle handle, HiddAttributes& attributes) {
    const bool ok = inner_.GetAttributes(handle, attributes);
    Log("GetAttributes " + std::to_string(handle) + " -> " +
        (ok ? Hex4(attributes.VendorID) + ":" + Hex4(attributes.ProductID) + " version " +
                  Hex4(attributes.VersionNumber)
            : "failed"));
    return ok;
}

bool LoggingPlatform::GetCaps(HidHandle handle, HidpCaps& caps) {
    const bool ok = inner_.GetCaps(handle, caps);
    Log("GetCaps " + std::to_string(handle) + " -> " +
        (ok ? "feature report " + std::to_string(caps.FeatureReportByteLength) + " bytes"
            : "failed"));
    return ok;
}

bool LoggingPlatform::GetString(HidHandle handle, HidString which, std::uint8_t* buffer,
                                std::size_t byteLength) {
    const bool ok = inner_.GetString(handle, which, buffer, byteLength);
    std::string line = "GetString ";
    line += HidStringName(which);
    line += " " + std::to_string(handle) + " -> ";
    line += ok ? "\"" + DecodeIdentityString(buffer, byteLength) + "\"" : std::string("failed");
    Log(line);
    return ok;
}

bool LoggingPlatform::SetFeature(HidHandle handle, const std::uint8_t* report, std::size_t length) {
    const bool ok = inner_.SetFeature(handle, report, length);
    Log("SetFeature " + std::to_string(handle) + " " + std::to_string(length) + " bytes -> " +
        Result(ok));
    return ok;
}

}  // namespace velt::cli
