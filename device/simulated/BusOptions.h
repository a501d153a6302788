#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "device/simulated/SimulatedSetup.h"

namespace velt::sim {

// The longest time option, in milliseconds: a day.
inline constexpr int kLongestTimeOptionMs = 86'400'000;

// The command-line options that describe the simulated bus and its Velt-USB, shared by
// every program that can run on it.
class BusOptions {
  public:
    // `versionOption` names the device-version option ("--version" in the demo, where the
    // program has no version option of its own).
    BusOptions(BusSetup& target, std::string versionOption);
    void AddTo(CLI::App& app, const std::string& group = "Simulated device");
    // After parsing: takes over the texts and hexadecimal values. Throws
    // CLI::ValidationError for a bad value.
    void Apply();

  private:
    void ApplyFaults(const std::string& option, const std::vector<std::string>& values,
                     int VeltBehaviour::*field, std::map<int, int>& perDevice);

    BusSetup& target_;
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

// --simulate and the options of the simulated Velt-USB, as the programs that also run on
// the real devices take them (its version option is --device-version, since --version is
// the program's own).
class SimulationOptions {
  public:
    void AddTo(CLI::App& app);
    // Call after parsing. Throws CLI::ValidationError.
    void Apply() { device_.Apply(); }

    bool simulate = false;
    BusSetup setup;

  private:
    BusOptions device_{setup, "--device-version"};
};

// Accepts "B038", "b038" and "0xB038"; throws CLI::ValidationError naming the option.
std::uint16_t ParseHex16(const std::string& option, const std::string& text);

}  // namespace velt::sim
