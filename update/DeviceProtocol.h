#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "DeviceState.h"
#include "HidPlatform.h"

namespace velt {

inline constexpr std::size_t kRecordSize = 40;
using ImageRecord = std::array<std::uint8_t, kRecordSize>;

// Report ID plus the command bytes DE FA CE; a shorter report would be cut short.
inline constexpr std::uint16_t kMinModeSwitchLength = 4;
// Report ID plus one whole record.
inline constexpr std::uint16_t kMinDataReportLength = 1 + kRecordSize;

// Sends the mode switch to commandHandle with the device's feature report length. The
// result is kept in apiResult and returned, though a device that resets at once may
// fail the request it has just obeyed.
bool SendModeSwitchReport(HidPlatform& platform, DeviceState& state);

// One data report frame, reused for every record of a transfer. The buffer is at least
// as long as the device's report, so the platform never reads past it.
class DataReport {
  public:
    explicit DataReport(std::uint16_t featureReportLength);
    // Report ID 0, then the record; the bytes behind it stay zero.
    void Fill(const ImageRecord& record);
    bool Send(HidPlatform& platform, DeviceState& state) const;

  private:
    std::vector<std::uint8_t> buffer_;
    std::uint16_t length_;
};

// Asks queryHandle for the manufacturer string; true when the device answers.
bool RunReadinessProbe(HidPlatform& platform, DeviceState& state);

}  // namespace velt
