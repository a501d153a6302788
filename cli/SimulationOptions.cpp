#include "SimulationOptions.h"

#include <charconv>
#include <string_view>

namespace velt::cli {

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
    const std::string group = "Simulated device (with --simulate)";
    app.add_flag("--simulate", simulate,
                 "Run against a simulated Velt-USB in real time instead of the hidraw devices");
    app.add_flag("--no-device", demo.noDevice, "Plug in no Velt-USB")->group(group);
    app.add_option("--product-id", productId_, "Product ID, hexadecimal")->group(group);
    app.add_option("--vendor-id", vendorId_, "Vendor ID, hexadecimal")->group(group);
    app.add_option("--device-version", version_, "Device version, hexadecimal")->group(group);
    manufacturerOption_ =
        app.add_option("--manufacturer", manufacturer_, "Manufacturer")->group(group);
    productOption_ = app.add_option("--product", product_, "Product name")->group(group);
    serialOption_ = app.add_option("--serial", serial_, "Serial number")->group(group);
    app.add_flag("--no-serial", noSerial_, "The device has no serial number")
        ->excludes(serialOption_)
        ->group(group);
    app.add_option("--feature-length", featureLength_,
                   "Feature report length including the report ID; 0: none")
        ->check(CLI::Range(0, 0xFFFF))
        ->group(group);
    app.add_option("--other-devices", demo.otherDevices,
                   "Plain HID devices plugged in before the Velt-USB")
        ->check(CLI::Range(0, 64))
        ->group(group);
    app.add_option("--detach-ms", demo.behaviour.detachMs,
                   "Time until the device leaves the bus after the mode switch")
        ->group(group);
    app.add_option("--reenumerate-ms", demo.behaviour.reenumerateMs,
                   "Time until it is back in bootloader mode")
        ->group(group);
    app.add_flag("--ignore-switch", demo.behaviour.ignoreSwitch,
                 "The device ignores the mode switch")
        ->group(group);
    app.add_option("--refuse-record", demo.behaviour.refuseRecord,
                   "Refuse this data record (1-based)")
        ->check(CLI::NonNegativeNumber)
        ->group(group);
    app.add_option("--vanish-after", demo.behaviour.vanishAfter,
                   "Leave the bus after accepting this many records")
        ->check(CLI::NonNegativeNumber)
        ->group(group);
}

void SimulationOptions::Apply() {
    sim::DeviceModel& model = demo.model;
    if (!productId_.empty()) {
        model.productId = ParseHex16("--product-id", productId_);
    }
    if (!vendorId_.empty()) {
        model.vendorId = ParseHex16("--vendor-id", vendorId_);
    }
    if (!version_.empty()) {
        model.version = ParseHex16("--device-version", version_);
    }
    if (manufacturerOption_->count() > 0) {
        model.manufacturer = manufacturer_;
    }
    if (productOption_->count() > 0) {
        model.product = product_;
    }
    if (serialOption_->count() > 0) {
        model.serial = serial_;
    }
    if (noSerial_) {
        model.serial.reset();
    }
    model.featureReportLength = static_cast<std::uint16_t>(featureLength_);
}

}  // namespace velt::cli
