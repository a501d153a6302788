#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "device/HidDevice.h"

namespace velt {

// Report ID plus the command bytes DE FA CE; a shorter report would cut the command.
inline constexpr std::uint16_t kMinModeSwitchLength = 4;
// Report ID plus one whole record.
inline constexpr std::uint16_t kMinDataReportLength = 41;

// Sends the mode switch with the device's feature report length. Throws DeviceError.
void SendModeSwitchReport(HidDevice& device, std::uint16_t featureReportLength);

// One data report frame, reused for every record of a transfer.
class DataReport {
  public:
    explicit DataReport(std::uint16_t featureReportLength);
    // Report ID 0, then the record; the bytes behind it stay zero.
    void Fill(std::span<const std::uint8_t> record);
    // Throws DeviceError.
    void Send(HidDevice& device) const;

  private:
    std::vector<std::uint8_t> buffer_;
};

// Asks the device for its manufacturer string before the first record: a device that
// does not answer is not ready for records. Throws DeviceError.
void RunReadinessProbe(HidDevice& device);

}  // namespace velt
