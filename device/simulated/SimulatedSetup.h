#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "device/simulated/SimulatedBus.h"

namespace velt::sim {

// What is plugged into the simulated bus and how its Velt-USBs behave, as every program
// that runs on it is told on its command line.
struct BusSetup {
    bool noDevice = false;
    DeviceModel model;                  // device 1's; the others differ in serial and location
    VeltBehaviour behaviour;            // every device's, but for the faults given per device
    int devices = 1;                    // plugged in at the start, numbered from 1
    std::vector<std::uint64_t> plugMs;  // one more device plugged in at each of these times
    // --refuse-record and --vanish-after N@K: device number K -> N, for that device only.
    std::map<int, int> refuseRecordOf, vanishAfterOf;
    int otherDevices = 0;
};

// Device k's behaviour (1-based): the common one with that device's faults.
VeltBehaviour BehaviourOf(const BusSetup& setup, int k);

// Plugs in the other devices first (at locations "2-1", "2-2", ...), then the Velt-USBs
// unless there are none: device k at location "1-k", with device 1's serial number counted
// up by k - 1. Returns the devices plugged in now, then those plugged in later, in number
// order.
std::vector<SimulatedVelt*> PopulateBus(SimulatedBus& bus, const BusSetup& setup);

// "simulated device <location>: <summary>", one line for each of several devices.
std::string DeviceLine(const SimulatedVelt& simulated);

// The one line a program on the simulated bus prints on leaving:
// "simulated device: <summary> result=<result>"; with no device, the summary of nothing sent.
std::string ResultLine(const SimulatedVelt* simulated, std::string_view result);

}  // namespace velt::sim
