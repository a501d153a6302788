#include "device/simulated/SimulatedSetup.h"

namespace velt::sim {

namespace {
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

VeltBehaviour BehaviourOf(const BusSetup& setup, int k) {
    VeltBehaviour behaviour = setup.behaviour;
    if (const auto it = setup.refuseRecordOf.find(k); it != setup.refuseRecordOf.end()) {
        behaviour.refuseRecord = it->second;
    }
    if (const auto it = setup.vanishAfterOf.find(k); it != setup.vanishAfterOf.end()) {
        behaviour.vanishAfter = it->second;
    }
    return behaviour;
}

std::vector<SimulatedVelt*> PopulateBus(SimulatedBus& bus, const BusSetup& setup) {
    for (int i = 0; i < setup.otherDevices; ++i) {
        DeviceModel keyboard;
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
    const int now = setup.noDevice ? 0 : setup.devices;
    std::vector<SimulatedVelt*> velts;
    for (int k = 1; k <= now + static_cast<int>(setup.plugMs.size()); ++k) {
        DeviceModel model = setup.model;
        if (model.serial) {
            model.serial = CountedUp(*model.serial, static_cast<unsigned>(k - 1));
        }
        model.location = "1-" + std::to_string(k);
        velts.push_back(
            k <= now ? &bus.AddVelt(model, BehaviourOf(setup, k))
                     : &bus.PlugVeltAt(setup.plugMs[k - now - 1], model, BehaviourOf(setup, k)));
    }
    return velts;
}

std::string DeviceLine(const SimulatedVelt& simulated) {
    return "simulated device " + simulated.location() + ": " + simulated.Summary();
}

std::string ResultLine(const SimulatedVelt* simulated, std::string_view result) {
    // With no device nothing was sent: the digest is that of no bytes at all.
    const std::string summary =
        simulated != nullptr
            ? simulated->Summary()
            : "mode-switches=0 records=0 bytes=0 "
              "sha256=e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    return "simulated device: " + summary + " result=" + std::string(result);
}

}  // namespace velt::sim
