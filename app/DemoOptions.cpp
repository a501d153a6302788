#include "app/DemoOptions.h"

#include <charconv>
#include <cstdint>
#include <string_view>
#include <vector>

#include "Product.h"
#include "platform/Utf8.h"

namespace velt {

namespace {
// The longest time option, in milliseconds: a day.
constexpr int kDayMs = 86'400'000;
}  // namespace

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
    const CLI::Range kDayRange(0, kDayMs);
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
        grouped(app.add_option("--devices", options.devices, "Velt-USBs plugged in at the start")
                    ->check(CLI::Range(1, 64)));
    devicesOption_->excludes("--no-device");
    repeatable(app.add_option("--plug-ms", options.plugMs,
                              "Plug in one more Velt-USB this long after the start")
                   ->check(kDayRange));
    grouped(app.add_option("--reboot-after-ms", options.behaviour.rebootAfterMs,
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

// The serial number with its trailing number counted up by `add` ("VU-099" + 1: "VU-100"),
// keeping its width while it fits.
std::string CountedUp(std::string serial, unsigned add) {
    std::size_t digits = serial.size();
    while (digits > 0 && serial[digits - 1] >= '0' && serial[digits - 1] <= '9') {
        --digits;
    }
    for (std::size_t i = serial.size(); add > 0 && i > digits; --i) {
        add += static_cast<unsigned>(serial[i - 1] - '0');
        serial[i - 1] = static_cast<char>('0' + add % 10);
        add /= 10;
    }
    return add > 0 ? serial.insert(digits, std::to_string(add)) : serial;
}
}  // namespace

void SimulatedDeviceOptions::ApplyFaults(const std::string& option,
                                         const std::vector<std::string>& values,
                                         int sim::VeltBehaviour::*field,
                                         std::map<int, int>& perDevice) {
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
    ApplyFaults("--refuse-record", refuseRecord_, &sim::VeltBehaviour::refuseRecord,
                target_.refuseRecordOf);
    ApplyFaults("--vanish-after", vanishAfter_, &sim::VeltBehaviour::vanishAfter,
                target_.vanishAfterOf);
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
        ->check(CLI::Range(1, kDayMs));

    try {
        app.parse(argc, argv);
        device.Apply();
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error, out, err);  // --help
        }
        // The value as typed is shown, never obeyed by the terminal.
        err << app.get_name() << ": " << Printable(error.what()) << std::endl;
        return 2;
    }
    return std::nullopt;
}

sim::VeltBehaviour BehaviourOf(const DemoOptions& options, int k) {
    sim::VeltBehaviour behaviour = options.behaviour;
    if (const auto it = options.refuseRecordOf.find(k); it != options.refuseRecordOf.end()) {
        behaviour.refuseRecord = it->second;
    }
    if (const auto it = options.vanishAfterOf.find(k); it != options.vanishAfterOf.end()) {
        behaviour.vanishAfter = it->second;
    }
    return behaviour;
}

std::vector<sim::SimulatedVelt*> PopulateBus(sim::SimulatedBus& bus, const DemoOptions& options) {
    for (int i = 0; i < options.otherDevices; ++i) {
        sim::DeviceModel keyboard;
        keyboard.vendorId = 0x04F3;
        keyboard.productId = static_cast<std::uint16_t>(0x0100 + i);
        keyboard.version = 0x0110;
        keyboard.manufacturer = "Generic";
        keyboard.product = "USB Keyboard";
        keyboard.serial.reset();
        keyboard.featureReportLength = 0;
        keyboard.location = "2-" + std::to_string(i + 1);  // a bus of their own: 1-k stays free
        bus.AddDevice(keyboard);
    }
    const int now = options.noDevice ? 0 : options.devices;
    std::vector<sim::SimulatedVelt*> velts;
    for (int k = 1; k <= now + static_cast<int>(options.plugMs.size()); ++k) {
        sim::DeviceModel model = options.model;
        if (model.serial) {
            model.serial = CountedUp(*model.serial, static_cast<unsigned>(k - 1));
        }
        model.location = "1-" + std::to_string(k);
        velts.push_back(k <= now ? &bus.AddVelt(model, BehaviourOf(options, k))
                                 : &bus.PlugVeltAt(options.plugMs[k - now - 1], model,
                                                   BehaviourOf(options, k)));
    }
    return velts;
}

std::string DemoDeviceLine(const sim::SimulatedVelt& velt) {
    return "simulated device " + velt.location() + ": " + velt.Summary();
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
