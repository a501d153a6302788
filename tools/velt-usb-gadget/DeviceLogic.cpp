#include "DeviceLogic.h"

#include <algorithm>
#include <cstdio>

namespace velt::vm {

std::vector<std::uint8_t> VeltReportDescriptor() {
    return {
        0x06, 0x00, 0xff,  // Usage Page (vendor 0xFF00)
        0x09, 0x01,        // Usage (1)
        0xa1, 0x01,        // Collection (Application)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xff, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
        0x95, 0x28,        //   Report Count (40)
        0x09, 0x02,        //   Usage (2)
        0xb1, 0x02,        //   Feature (Data, Variable, Absolute)
        0xc0,              // End Collection
    };
}

DeviceLogic::DeviceLogic(DeviceMode start, int vanishAfter)
    : mode_(start), vanishAfter_(vanishAfter) {}

bool DeviceLogic::IsModeSwitch(std::uint8_t type, std::uint8_t reportId,
                               const std::vector<std::uint8_t>& data) {
    if (type != kReportTypeFeature || reportId != 0 || data.size() != kPayloadLength) {
        return false;
    }
    if (data[0] != 0xde || data[1] != 0xfa || data[2] != 0xce) {
        return false;
    }
    return std::all_of(data.begin() + 3, data.end(), [](std::uint8_t b) { return b == 0; });
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

    if (type != kReportTypeFeature || reportId != 0 || data.size() != kPayloadLength) {
        ++badReports_;
        Note("malformed record", type, reportId, data.size());
        return DeviceAction::None;
    }
    hash_.Update(data.data(), data.size());
    bytes_ += data.size();
    ++records_;
    if (vanishAfter_ > 0 && records_ >= vanishAfter_) {
        mode_ = DeviceMode::Gone;
        return DeviceAction::Vanish;
    }
    return DeviceAction::None;
}

std::string DeviceLogic::Summary() {
    if (digest_.empty()) {
        digest_ = sim::Sha256::Hex(hash_.Finish());
    }
    return "gadget: mode-switches=" + std::to_string(modeSwitches_) +
           " records=" + std::to_string(records_) + " bytes=" + std::to_string(bytes_) +
           " sha256=" + digest_;
}

std::string DeviceLogic::Detail() const {
    return "gadget-detail: bad=" + std::to_string(badReports_) +
           " other=" + std::to_string(otherReports_) + " late=" + std::to_string(lateReports_);
}

}  // namespace velt::vm
