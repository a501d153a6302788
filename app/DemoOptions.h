#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "device/simulated/SimulatedBus.h"
#include "update/UpdateListener.h"

namespace velt {

// The demo program's command line: what is plugged into the simulated bus, how the
// Velt-USB behaves, and what the demo does unattended.
struct DemoOptions {
    std::string folder;  // empty: demo-image beside the program
    std::string image;   // a firmware image the user named; empty: the one in the folder
    bool noDevice = false;
    sim::DeviceModel model;             // device 1's; the others differ in serial and location
    sim::VeltBehaviour behaviour;       // every device's, but for the faults given per device
    int devices = 1;                    // plugged in at the start, numbered from 1
    std::vector<std::uint64_t> plugMs;  // one more device plugged in at each of these times
    // --refuse-record and --vanish-after N@K: device number K -> N, for that device only.
    std::map<int, int> refuseRecordOf, vanishAfterOf;
    int otherDevices = 0;
    std::string screenshot;     // save the window once started, then exit
    bool autoUpdate = false;    // press the button once the window is shown
    std::string screenshotDir;  // transfer.png half-way, end.png at the end
    int closeAfterMs = 0;       // > 0: ask the window to close this long after it is shown
};

// The options that describe the simulated bus and its Velt-USB, shared by every program
// that can run on it.
class SimulatedDeviceOptions {
  public:
    // `versionOption` names the device-version option ("--version" in the demo, where the
    // program has no version option of its own).
    SimulatedDeviceOptions(DemoOptions& target, std::string versionOption);
    void AddTo(CLI::App& app, const std::string& group = "Simulated device");
    // After parsing: takes over the texts and hexadecimal values. Throws
    // CLI::ValidationError for a bad value.
    void Apply();

  private:
    void ApplyFaults(const std::string& option, const std::vector<std::string>& values,
                     int sim::VeltBehaviour::*field, std::map<int, int>& perDevice);

    DemoOptions& target_;
    std::string versionOption_;
    std::string productId_, vendorId_, version_;
    std::string manufacturer_, product_, serial_;
    bool noSerial_ = false;
    int featureLength_;
    std::vector<std::string> refuseRecord_, vanishAfter_;  // "N" or "N@K"
    CLI::Option* devicesOption_ = nullptr;
    CLI::Option* manufacturerOption_ = nullptr;
    CLI::Option* productOption_ = nullptr;
    CLI::Option* serialOption_ = nullptr;
};

// Accepts "B038", "b038" and "0xB038"; throws CLI::ValidationError naming the option.
std::uint16_t ParseHex16(const std::string& option, const std::string& text);

// Parses the command line into options. Returns an exit status when the program should
// stop at once (help asked for: 0; a bad option: 2, one line naming it written to err).
std::optional<int> ParseDemoOptions(int argc, const char* const* argv, DemoOptions& options,
                                    std::ostream& out, std::ostream& err);

// Device k's behaviour (1-based): the common one with that device's faults.
sim::VeltBehaviour BehaviourOf(const DemoOptions& options, int k);

// Plugs in the other devices first (at locations "2-1", "2-2", ...), then the Velt-USBs
// unless there are none: device k at location "1-k", with device 1's serial number counted
// up by k - 1. Returns the devices plugged in now, then those plugged in later, in number
// order.
std::vector<sim::SimulatedVelt*> PopulateBus(sim::SimulatedBus& bus, const DemoOptions& options);

// "simulated device <location>: <summary>", one line for each of several devices.
std::string DemoDeviceLine(const sim::SimulatedVelt& velt);

// The one line the demo prints on leaving:
// "simulated device: <summary> result=<success|failure|cancelled|none>".
std::string DemoResultLine(const sim::SimulatedVelt* velt, UpdateOutcome outcome);

}  // namespace velt
