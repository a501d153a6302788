#include "tools/velt-usb-gadget/DeviceLogic.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "device/VeltProtocol.h"

namespace velt::vm {

namespace {

static_assert(protocol::recordSize <= 0xff, "the descriptor's Report Count is one byte");
constexpr std::uint8_t kRecordCount = static_cast<std::uint8_t>(protocol::recordSize);

bool IsRecordReport(std::uint8_t type, std::uint8_t reportId, std::size_t length) {
    return type == kReportTypeFeature && reportId == 0 && length == protocol::recordSize;
}

}  // namespace

std::vector<std::uint8_t> VeltReportDescriptor() {
    // clang-format off
    return {
        0x06, 0x00, 0xff,    // Usage Page (vendor 0xFF00)
        0x09, 0x01,          // Usage (1)
        0xa1, 0x01,          // Collection (Application)
        0x15, 0x00,          //   Logical Minimum (0)
        0x26, 0xff, 0x00,    //   Logical Maximum (255)
        0x75, 0x08,          //   Report Size (8)
        0x95, kRecordCount,  //   Report Count (one record)
        0x09, 0x02,          //   Usage (2)
        0xb1, 0x02,          //   Feature (Data, Variable, Absolute)
        0xc0,                // End Collection
    };
    // clang-format on
}

DeviceLogic::DeviceLogic(DeviceMode start, int vanishAfter, RecordSink keep)
    : mode_(start), vanishAfter_(vanishAfter), keep_(std::move(keep)) {}

bool DeviceLogic::IsModeSwitch(std::uint8_t type, std::uint8_t reportId,
                               const std::vector<std::uint8_t>& data) {
    const auto& command = protocol::modeSwitchCommand;
    if (!IsRecordReport(type, reportId, data.size()) ||
        !std::equal(command.begin(), command.end(), data.begin())) {
        return false;
    }
    return std::all_of(data.begin() + command.size(), data.end(),
                       [](std::uint8_t b) { return b == 0; });
}

void DeviceLogic::Note(const char* what, std::uint8_t type, std::uint8_t reportId,
                       std::size_t length) {
    // The counters tell how many; a few lines are enough to tell what.
    if (log_.size() >= kLogLimit) {
        return;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%s: type=%u id=%u length=%zu", what, type, reportId, length);
    log_.emplace_back(line);
}

DeviceAction DeviceLogic::OnSetReport(std::uint8_t type, std::uint8_t reportId,
                                      const std::vector<std::uint8_t>& data) {
    switch (mode_) {
        case DeviceMode::Gone:
            ++lateReports_;
            Note("late report", type, reportId, data.size());
            return DeviceAction::None;
        case DeviceMode::Other:
            ++otherReports_;
            Note("report to the other device", type, reportId, data.size());
            return DeviceAction::None;
        case DeviceMode::Application:
            if (IsModeSwitch(type, reportId, data)) {
                ++modeSwitches_;
                return DeviceAction::SwitchToBootloader;
            }
            ++badReports_;
            Note("unexpected report in application mode", type, reportId, data.size());
            return DeviceAction::None;
        case DeviceMode::Bootloader:
            break;
    }

    if (!IsRecordReport(type, reportId, data.size())) {
        ++badReports_;
        Note("malformed record", type, reportId, data.size());
        return DeviceAction::None;
    }
    if (keep_) {
        keep_(data);
    }
    bytes_ += data.size();
    ++records_;
    if (vanishAfter_ > 0 && records_ >= vanishAfter_) {
        mode_ = DeviceMode::Gone;
        return DeviceAction::Vanish;
    }
    return DeviceAction::None;
}

std::string DeviceLogic::Summary() const {
    return "gadget: mode-switches=" + std::to_string(modeSwitches_) +
           " records=" + std::to_string(records_) + " bytes=" + std::to_string(bytes_);
}

std::string DeviceLogic::Detail() const {
    return "gadget-detail: bad=" + std::to_string(badReports_) +
           " other=" + std::to_string(otherReports_) + " late=" + std::to_string(lateReports_);
}

}  // namespace velt::vm
