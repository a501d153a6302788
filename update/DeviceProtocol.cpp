#include "update/DeviceProtocol.h"

#include <algorithm>

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
