#include "DeviceProtocol.h"

#include <algorithm>
#include <array>

namespace velt {

namespace {
constexpr std::size_t kModeSwitchBufferSize = 1001;
constexpr std::size_t kDataReportBufferSize = 101;
constexpr std::size_t kProbeBufferSize = 201;
constexpr std::size_t kProbeLength = 100;

bool SendFeature(HidPlatform& platform, DeviceState& state, const std::uint8_t* report,
                 std::size_t length) {
    const bool accepted = state.commandHandle.isOpen() &&
                          platform.SetFeature(state.commandHandle.value(), report, length);
    state.apiResult = accepted ? 1 : 0;
    return accepted;
}
}  // namespace

bool SendModeSwitchReport(HidPlatform& platform, DeviceState& state) {
    const std::uint16_t length = state.deviceCaps.FeatureReportByteLength;
    std::vector<std::uint8_t> report(std::max<std::size_t>(kModeSwitchBufferSize, length), 0);
    report[1] = 0xDE;
    report[2] = 0xFA;
    report[3] = 0xCE;
    return SendFeature(platform, state, report.data(), length);
}

DataReport::DataReport(std::uint16_t featureReportLength)
    : buffer_(std::max<std::size_t>(kDataReportBufferSize, featureReportLength), 0),
      length_(featureReportLength) {}

void DataReport::Fill(const ImageRecord& record) {
    buffer_[0] = 0;
    std::copy(record.begin(), record.end(), buffer_.begin() + 1);
}

bool DataReport::Send(HidPlatform& platform, DeviceState& state) const {
    return SendFeature(platform, state, buffer_.data(), length_);
}

bool RunReadinessProbe(HidPlatform& platform, DeviceState& state) {
    std::array<std::uint8_t, kProbeBufferSize> probeBuffer{};
    const bool answered = state.queryHandle.isOpen() &&
                          platform.GetString(state.queryHandle.value(), HidString::Manufacturer,
                                             probeBuffer.data(), kProbeLength);
    state.apiResult = answered ? 1 : 0;
    return answered;
}

}  // namespace velt
