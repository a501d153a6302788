#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velt::vm {

inline constexpr std::uint8_t kReportTypeInput = 1;
inline constexpr std::uint8_t kReportTypeOutput = 2;
inline constexpr std::uint8_t kReportTypeFeature = 3;

// The vendor-defined HID report descriptor both device kinds present: no report IDs, one
// feature report of one record.
std::vector<std::uint8_t> VeltReportDescriptor();

enum class DeviceMode { Application, Bootloader, Other, Gone };

// What the USB side must do after a report was acknowledged.
enum class DeviceAction { None, SwitchToBootloader, Vanish };

// Receives the payload of every record the device takes, in order.
using RecordSink = std::function<void(const std::vector<std::uint8_t>&)>;

// What the Velt-USB firmware does with the SET_REPORT requests it is sent, kept apart
// from the USB plumbing so that it can be checked without a kernel.
class DeviceLogic {
  public:
    // vanishAfter: leave the bus for good after this many data records (0: never).
    // keep (may be empty) is handed each record the device takes.
    DeviceLogic(DeviceMode start, int vanishAfter, RecordSink keep = {});

    // One SET_REPORT as it arrived: wValue's high byte is the type, its low byte the
    // report ID, `data` the data stage.
    DeviceAction OnSetReport(std::uint8_t type, std::uint8_t reportId,
                             const std::vector<std::uint8_t>& data);
    // The USB side carried out the mode switch; bootloader-mode records start now.
    void EnteredBootloader() { mode_ = DeviceMode::Bootloader; }

    DeviceMode mode() const { return mode_; }
    int modeSwitches() const { return modeSwitches_; }
    int records() const { return records_; }
    // Reports that were not what the mode expects: wrong type, report ID or length, or
    // anything but the switch command in application mode.
    int badReports() const { return badReports_; }
    // Reports that reached a device that is not a Velt-USB.
    int otherReports() const { return otherReports_; }
    // Reports that arrived after the device decided to leave the bus.
    int lateReports() const { return lateReports_; }
    // The first few unexpected reports, one line each.
    const std::vector<std::string>& log() const { return log_; }

    // "gadget: mode-switches=<n> records=<n> bytes=<n>"; the digest of the records is
    // the business of whoever reads what the sink kept.
    std::string Summary() const;
    // "gadget-detail: bad=<n> other=<n> late=<n>"
    std::string Detail() const;

  private:
    static bool IsModeSwitch(std::uint8_t type, std::uint8_t reportId,
                             const std::vector<std::uint8_t>& data);
    void Note(const char* what, std::uint8_t type, std::uint8_t reportId, std::size_t length);

    static constexpr std::size_t kLogLimit = 10;

    DeviceMode mode_;
    int vanishAfter_;
    int modeSwitches_ = 0;
    int records_ = 0;
    std::size_t bytes_ = 0;
    int badReports_ = 0;
    int otherReports_ = 0;
    int lateReports_ = 0;
    RecordSink keep_;
    std::vector<std::string> log_;
};

}  // namespace velt::vm
