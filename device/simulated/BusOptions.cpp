#include "device/simulated/BusOptions.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "device/PlatformWords.h"

namespace velt::sim {

std::uint16_t ParseHex16(const std::string& option, const std::string& text) {
    std::string_view digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
    }
    unsigned value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        value > 0xFFFF) {
        throw CLI::ValidationError(option, "not a 16-bit hexadecimal number: " + text);
    }
    return static_cast<std::uint16_t>(value);
}

void SimulationOptions::AddTo(CLI::App& app) {
    app.add_flag("--simulate", simulate,
                 std::string("Run against a simulated Velt-USB in real time instead of ") +
                     PlatformDevicesName());
    device_.AddTo(app, "Simulated device (with --simulate)");
}

BusOptions::BusOptions(BusSetup& target, std::string versionOption)
    : target_(target),
      versionOption_(std::move(versionOption)),
      featureLength_(target.model.featureReportLength) {}

void BusOptions::AddTo(CLI::App& app, const std::string& group) {
    BusSetup& setup = target_;
    const auto grouped = [&](CLI::Option* option) { return option->group(group); };
    grouped(app.add_flag("--no-device", setup.noDevice, "Plug in no Velt-USB"));
    grouped(app.add_option("--product-id", productId_, "Product ID, hexadecimal"));
    grouped(app.add_option("--vendor-id", vendorId_, "Vendor ID, hexadecimal"));
    grouped(app.add_option(versionOption_, version_, "Device version, hexadecimal"));
    manufacturerOption_ = grouped(app.add_option("--manufacturer", manufacturer_, "Manufacturer"));
    productOption_ = grouped(app.add_option("--product", product_, "Product name"));
    serialOption_ = grouped(app.add_option("--serial", serial_, "Serial number"));
    grouped(app.add_flag("--no-serial", noSerial_, "The device has no serial number")
                ->excludes(serialOption_));
    grouped(app.add_option("--feature-length", featureLength_,
                           "Feature report length including the report ID; 0: none")
                ->check(CLI::Range(0, 0xFFFF)));
    grouped(app.add_option("--other-devices", setup.otherDevices,
                           "Plain HID devices plugged in before the Velt-USB")
                ->check(CLI::Range(0, 64)));
    grouped(app.add_option("--detach-ms", setup.behaviour.detachMs,
                           "Time until the device leaves the bus after the mode switch"));
    grouped(app.add_option("--reenumerate-ms", setup.behaviour.reenumerateMs,
                           "Time until it is back in bootloader mode"));
    grouped(app.add_flag("--ignore-switch", setup.behaviour.ignoreSwitch,
                         "The device ignores the mode switch"));
    const CLI::Range kDayRange(0, kLongestTimeOptionMs);
    // Each of these takes one value a time and may be given again.
    const auto repeatable = [&](CLI::Option* option) {
        return grouped(option->allow_extra_args(false));
    };
    repeatable(app.add_option("--refuse-record", refuseRecord_,
                              "Refuse this data record (1-based); N@K: device K only"));
    repeatable(app.add_option("--vanish-after", vanishAfter_,
                              "Leave the bus after accepting this many records; N@K: device K "
                              "only"));
    devicesOption_ =
        grouped(app.add_option("--devices", setup.devices, "Velt-USBs plugged in at the start")
                    ->check(CLI::Range(1, 64)));
    devicesOption_->excludes("--no-device");
    repeatable(app.add_option("--plug-ms", setup.plugMs,
                              "Plug in one more Velt-USB this long after the start")
                   ->check(kDayRange));
    grouped(app.add_option("--reboot-after-ms", setup.behaviour.rebootAfterMs,
                           "In bootloader mode, restart into the new firmware once reports have "
                           "stopped this long; 0: never")
                ->check(kDayRange));
}

namespace {
// A non-negative decimal number, or nullopt.
std::optional<int> Count(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}
}  // namespace

void BusOptions::ApplyFaults(const std::string& option, const std::vector<std::string>& values,
                             int VeltBehaviour::*field, std::map<int, int>& perDevice) {
    const int devices =
        (target_.noDevice ? 0 : target_.devices) + static_cast<int>(target_.plugMs.size());
    for (const std::string& value : values) {
        const std::size_t at = value.find('@');
        const auto count = Count(std::string_view(value).substr(0, at));
        const auto device = at == std::string::npos ? 0 : Count(value.substr(at + 1));
        if (!count || !device) {
            throw CLI::ValidationError(option, "not N or N@DEVICE: " + value);
        }
        // 0 would be no fault at all, which leaving the option out already says.
        if (*count == 0) {
            throw CLI::ValidationError(option, "N counts records from 1: " + value);
        }
        if (at == std::string::npos) {
            target_.behaviour.*field = *count;
        } else if (*device < 1 || *device > devices) {
            throw CLI::ValidationError(option, "no device " + std::to_string(*device) + " among " +
                                                   std::to_string(devices) + ": " + value);
        } else {
            perDevice[*device] = *count;
        }
    }
}

void BusOptions::Apply() {
    DeviceModel& model = target_.model;
    if (!productId_.empty()) {
        model.productId = ParseHex16("--product-id", productId_);
    }
    if (!vendorId_.empty()) {
        model.vendorId = ParseHex16("--vendor-id", vendorId_);
    }
    if (!version_.empty()) {
        model.version = ParseHex16(versionOption_, version_);
    }
    if (manufacturerOption_->count() > 0) {
        model.manufacturer = manufacturer_;
    }
    if (productOption_->count() > 0) {
        model.product = product_;
    }
    if (serialOption_->count() > 0) {
        // Read back, an empty serial number is taken for none, which --no-serial says.
        if (serial_.empty()) {
            throw CLI::ValidationError("--serial",
                                       "empty: name a serial number, or give --no-serial");
        }
        model.serial = serial_;
    }
    if (noSerial_) {
        model.serial.reset();
    }
    model.featureReportLength = static_cast<std::uint16_t>(featureLength_);
    ApplyFaults("--refuse-record", refuseRecord_, &VeltBehaviour::refuseRecord,
                target_.refuseRecordOf);
    ApplyFaults("--vanish-after", vanishAfter_, &VeltBehaviour::vanishAfter, target_.vanishAfterOf);
}

}  // namespace velt::sim
