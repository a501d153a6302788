#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "device/HidDevice.h"

namespace velt {

// Sends the mode switch with the device's feature report length. Throws DeviceError.
void SendModeSwitchReport(HidDevice& device, std::uint16_t featureReportLength);

// One data report frame, reused for every record of a transfer.
class DataReport {
  public:
    explicit DataReport(std::uint16_t featureReportLength);
    // Report ID 0, then the record; the bytes behind it stay zero. The record must fit
    // behind the ID: a longer one throws std::length_error rather than write past the frame.
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
