#include "app/DemoOptions.h"

#include <charconv>
#include <cstdint>
#include <vector>

#include "Product.h"

namespace velt {

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

SimulatedDeviceOptions::SimulatedDeviceOptions(DemoOptions& target, std::string versionOption)
    : target_(target),
      versionOption_(std::move(versionOption)),
      featureLength_(target.model.featureReportLength) {}

void SimulatedDeviceOptions::AddTo(CLI::App& app, const std::string& group) {
    DemoOptions& options = target_;
    const auto grouped = [&](CLI::Option* option) { return option->group(group); };
    grouped(app.add_flag("--no-device", options.noDevice, "Plug in no Velt-USB"));
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
    grouped(app.add_option("--other-devices", options.otherDevices,
                           "Plain HID devices plugged in before the Velt-USB")
                ->check(CLI::Range(0, 64)));
    grouped(app.add_option("--detach-ms", options.behaviour.detachMs,
                           "Time until the device leaves the bus after the mode switch"));
    grouped(app.add_option("--reenumerate-ms", options.behaviour.reenumerateMs,
                           "Time until it is back in bootloader mode"));
    grouped(app.add_flag("--ignore-switch", options.behaviour.ignoreSwitch,
                         "The device ignores the mode switch"));
    grouped(app.add_option("--refuse-record", options.behaviour.refuseRecord,
                           "Refuse this data record (1-based)")
                ->check(CLI::NonNegativeNumber));
    grouped(app.add_option("--vanish-after", options.behaviour.vanishAfter,
                           "Leave the bus after accepting this many records")
                ->check(CLI::NonNegativeNumber));
}

void SimulatedDeviceOptions::Apply() {
    sim::DeviceModel& model = target_.model;
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
        model.serial = serial_;
    }
    if (noSerial_) {
        model.serial.reset();
    }
    model.featureReportLength = static_cast<std::uint16_t>(featureLength_);
}

std::optional<int> ParseDemoOptions(int argc, const char* const* argv, DemoOptions& options,
                                    std::ostream& out, std::ostream& err) {
    CLI::App app{"The Velt-USB firmware update window on a simulated device."};
    app.name("velt-usb-firmware-demo");
    SimulatedDeviceOptions device(options, "--version");

    app.add_option("IMAGE", options.image, "The firmware image (default: the one in the folder)");
    app.add_option("--folder", options.folder,
                   std::string("Application folder holding ") + product::imageName +
                       " (default: demo-image beside the program)");
    device.AddTo(app);
    app.add_option("--screenshot", options.screenshot,
                   "Save the window's image once it has started, then exit");
    app.add_flag("--auto-update", options.autoUpdate, "Press the button once the window is shown");
    app.add_option("--screenshot-dir", options.screenshotDir,
                   "Save transfer.png half-way through an update and end.png at the end");
    app.add_option("--close-after-ms", options.closeAfterMs,
                   "Ask the window to close (as its close box does) this long after it is shown")
        ->check(CLI::PositiveNumber);

    try {
        app.parse(argc, argv);
        device.Apply();
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error, out, err);  // --help
        }
        err << app.get_name() << ": " << error.what() << std::endl;
        return 2;
    }
    return std::nullopt;
}

sim::SimulatedVelt* PopulateBus(sim::SimulatedBus& bus, const DemoOptions& options) {
    for (int i = 0; i < options.otherDevices; ++i) {
        sim::DeviceModel keyboard;
        keyboard.vendorId = 0x04F3;
        keyboard.productId = static_cast<std::uint16_t>(0x0100 + i);
        keyboard.version = 0x0110;
        keyboard.manufacturer = "Generic";
        keyboard.product = "USB Keyboard";
        keyboard.serial.reset();
        keyboard.featureReportLength = 0;
        bus.AddDevice(keyboard);
    }
    if (options.noDevice) {
        return nullptr;
    }
    return &bus.AddVelt(options.model, options.behaviour);
}

std::string DemoResultLine(const sim::SimulatedVelt* velt, UpdateOutcome outcome) {
    // With no device nothing was sent: the digest is that of no bytes at all.
    const std::string summary =
        velt != nullptr ? velt->Summary()
                        : "mode-switches=0 records=0 bytes=0 "
                          "sha256=e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    return "simulated device: " + summary + " result=" + OutcomeName(outcome);
}

}  // namespace velt
