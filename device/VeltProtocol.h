#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// What the Velt-USB and this tool agree on. The tool, the simulated device and the USB
// gadget that plays the device in tests all take these from here.
namespace velt::protocol {

// The device runs its application firmware.
inline constexpr std::uint16_t applicationProductId = 0x2442;
// The device runs its bootloader and takes firmware records.
inline constexpr std::uint16_t bootloaderProductId = 0xB038;

// The payload of the mode-switch report (after report ID 0); the rest is zero.
inline constexpr std::array<std::uint8_t, 3> modeSwitchCommand = {0xDE, 0xFA, 0xCE};
// One firmware record, carried after report ID 0 in one data report.
inline constexpr std::size_t recordSize = 40;
// The largest image the Velt-USB takes: 32,766 whole records, which is all its bootloader
// stores, plus a remainder shorter than one record, which is never sent.
inline constexpr std::size_t maxWholeRecords = 32'766;
inline constexpr std::size_t maxImageSize = maxWholeRecords * recordSize + (recordSize - 1);

// The shortest feature reports that carry the mode switch and one record: report ID 0, then
// the command or the record.
inline constexpr std::uint16_t modeSwitchReportLength = 1 + modeSwitchCommand.size();
inline constexpr std::uint16_t dataReportLength = 1 + recordSize;

inline constexpr bool IsVeltProductId(std::uint16_t productId) {
    return productId == applicationProductId || productId == bootloaderProductId;
}

}  // namespace velt::protocol
