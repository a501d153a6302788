#include "update/DeviceProtocol.h"

#include <algorithm>
#include <stdexcept>

#include "device/VeltProtocol.h"

namespace velt {

void SendModeSwitchReport(HidDevice& device, std::uint16_t featureReportLength) {
    std::vector<std::uint8_t> report(featureReportLength, 0);
    std::copy(protocol::modeSwitchCommand.begin(), protocol::modeSwitchCommand.end(),
              report.begin() + 1);
    device.SendFeatureReport(report);
}

DataReport::DataReport(std::uint16_t featureReportLength) : buffer_(featureReportLength, 0) {}

void DataReport::Fill(std::span<const std::uint8_t> record) {
    if (buffer_.empty() || record.size() > buffer_.size() - 1) {
        throw std::length_error("a record longer than its data report");
    }
    buffer_[0] = 0;
    std::copy(record.begin(), record.end(), buffer_.begin() + 1);
}

void DataReport::Send(HidDevice& device) const {
    device.SendFeatureReport(buffer_);
}

void RunReadinessProbe(HidDevice& device) {
    (void)device.GetString(HidString::Manufacturer);
}

}  // namespace velt
