#include "device/simulated/VeltFirmware.h"

#include <algorithm>

#include "platform/Sha256.h"

namespace velt::sim {

namespace {

// The command, then nothing but zeros.
bool IsModeSwitch(const std::vector<std::uint8_t>& payload) {
    const auto& command = protocol::modeSwitchCommand;
    return payload.size() >= command.size() &&
           std::equal(command.begin(), command.end(), payload.begin()) &&
           std::all_of(payload.begin() + command.size(), payload.end(),
                       [](std::uint8_t b) { return b == 0; });
}

}  // namespace

VeltFirmware::VeltFirmware(const DeviceModel& plugged, const VeltBehaviour& behaviour)
    : behaviour_(behaviour), application_(plugged) {
    application_.productId = protocol::applicationProductId;
}

ReportRecord VeltFirmware::Receive(std::span<const std::uint8_t> report, const DeviceModel& current,
                                   std::uint64_t now) {
    ReportRecord record;
    record.timeMs = now;
    record.productId = current.productId;
    record.length = report.size();
    if (!report.empty()) {
        record.bytes.assign(report.begin() + 1, report.end());
    }
    bool vanish = false;
    record.accepted = Decide(record.bytes, report.size(), current, now, vanish);
    reports_.push_back(record);
    const bool bootloader = record.productId == protocol::bootloaderProductId;
    if (bootloader && !vanish && !firmware_.empty() && behaviour_.rebootAfterMs > 0) {
        // Every report puts the reboot off: the new firmware starts once they stop.
        rebootAt_ = now + behaviour_.rebootAfterMs;
        plugAt_ = *rebootAt_ + behaviour_.reenumerateMs;
        next_ = application_;
    }
    return record;
}

bool VeltFirmware::Decide(const std::vector<std::uint8_t>& payload, std::size_t length,
                          const DeviceModel& current, std::uint64_t now, bool& vanish) {
    if (length == 0 || length > current.featureReportLength) {
        return false;
    }
    if (current.productId != protocol::bootloaderProductId) {
        if (IsModeSwitch(payload)) {
            ++modeSwitches_;
            // A switch while one is under way changes nothing: the firmware is already on
            // its way out.
            if (!behaviour_.ignoreSwitch && !detachAt_ && !plugAt_) {
                detachAt_ = now + behaviour_.detachMs;
                plugAt_ = *detachAt_ + behaviour_.reenumerateMs;
                next_ = behaviour_.bootloaderIdentity.value_or(current);
                next_->productId = protocol::bootloaderProductId;
            }
        }
        return true;
    }
    if (length < protocol::dataReportLength) {
        return false;
    }
    ++dataReports_;
    if (dataReports_ == behaviour_.refuseRecord) {
        return false;
    }
    firmware_.insert(firmware_.end(), payload.begin(), payload.begin() + protocol::recordSize);
    if (static_cast<int>(firmware_.size() / protocol::recordSize) == behaviour_.vanishAfter) {
        // Gone for good: the bus takes it off at once, and it never comes back by itself.
        CancelEvents();
        detachAt_ = now;
        vanish = true;
    }
    return true;
}

std::optional<std::uint64_t> VeltFirmware::NextEvent() const {
    std::optional<std::uint64_t> next;
    for (const auto& at : {detachAt_, rebootAt_, plugAt_}) {
        if (at && (!next || *at < *next)) {
            next = at;
        }
    }
    return next;
}

VeltFirmware::BusEvent VeltFirmware::TakeEvent(std::uint64_t at) {
    if (detachAt_ == at || rebootAt_ == at) {
        detachAt_.reset();
        rebootAt_.reset();
        return {};
    }
    plugAt_.reset();
    BusEvent event{.plug = true, .identity = std::move(next_)};
    next_.reset();
    return event;
}

void VeltFirmware::PlugAt(std::uint64_t at) {
    CancelEvents();
    plugAt_ = at;
}

void VeltFirmware::CancelEvents() {
    detachAt_.reset();
    rebootAt_.reset();
    plugAt_.reset();
    next_.reset();
}

std::string VeltFirmware::Summary() const {
    return "mode-switches=" + std::to_string(modeSwitches_) +
           " records=" + std::to_string(firmware_.size() / protocol::recordSize) +
           " bytes=" + std::to_string(firmware_.size()) + " sha256=" + Sha256Hex(firmware_);
}

}  // namespace velt::sim
