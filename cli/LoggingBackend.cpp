#include "cli/LoggingBackend.h"

#include "cli/DeviceListing.h"
#include "cli/Text.h"

namespace velt::cli {

namespace {

// Runs one operation, logs "hid: <what> -> <result>" and passes the outcome on.
template <typename Operation, typename Describe>
auto Logged(LoggingBackend& log, const std::string& what, Operation operation, Describe describe) {
    try {
        auto result = operation();
        log.Line(what + " -> " + describe(result));
        return result;
    } catch (const DeviceError& error) {
        log.Line(what + " -> failed (" + error.detail() + ")");
        throw;
    }
}

class LoggingDevice final : public HidDevice {
  public:
    LoggingDevice(std::unique_ptr<HidDevice> inner, std::string path, LoggingBackend& log)
        : inner_(std::move(inner)), path_(std::move(path)), log_(log) {}
    ~LoggingDevice() override {
        inner_.reset();
        log_.Line("Close " + path_);
    }

    std::uint16_t FeatureReportLength() override {
        return Logged(
            log_, "FeatureReportLength " + path_, [&] { return inner_->FeatureReportLength(); },
            [](std::uint16_t length) { return std::to_string(length) + " bytes"; });
    }
    std::string GetString(HidString which) override {
        return Logged(
            log_, std::string("GetString ") + HidStringName(which) + " " + path_,
            [&] { return inner_->GetString(which); },
            [](const std::string& text) { return "\"" + text + "\""; });
    }
    void SendFeatureReport(std::span<const std::uint8_t> report) override {
        Logged(
            log_, "SendFeatureReport " + path_ + " " + std::to_string(report.size()) + " bytes",
            [&] {
                inner_->SendFeatureReport(report);
                return true;
            },
            [](bool) { return "ok"; });
    }

  private:
    std::unique_ptr<HidDevice> inner_;
    std::string path_;
    LoggingBackend& log_;
};

}  // namespace

void LoggingBackend::Line(const std::string& text) {
    const std::lock_guard lock(lock_);
    // Paths, locations and strings come from devices.
    log_ << "hid: " << Printable(text) << std::endl;
}

std::vector<HidInterfaceInfo> LoggingBackend::ListInterfaces() {
    std::vector<HidInterfaceInfo> interfaces = inner_.ListInterfaces();
    Line("List -> " + std::to_string(interfaces.size()) + " interfaces");
    for (const HidInterfaceInfo& info : interfaces) {
        Line("  " + info.path + " " + Hex4(info.vendorId) + ':' + Hex4(info.productId) +
             " version " + Hex4(info.version) +
             (info.location.empty() ? "" : " at " + info.location));
    }
    return interfaces;
}

std::unique_ptr<HidDevice> LoggingBackend::Open(const std::string& path) {
    auto device = Logged(
        *this, "Open " + path, [&] { return inner_.Open(path); },
        [](const std::unique_ptr<HidDevice>&) { return "ok"; });
    return std::make_unique<LoggingDevice>(std::move(device), path, *this);
}

}  // namespace velt::cli
