#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "DemoOptions.h"

namespace velt::cli {

// --simulate and the options of the simulated Velt-USB, the same as the window demo's
// (its --version is --device-version here, since --version is the program's own).
class SimulationOptions {
  public:
    void AddTo(CLI::App& app);
    // Call after parsing: takes over the hexadecimal options. Throws CLI::ValidationError.
    void Apply();

    bool simulate = false;
    DemoOptions demo;

  private:
    std::string productId_, vendorId_, version_;
    std::string manufacturer_, product_, serial_;
    bool noSerial_ = false;
    int featureLength_ = demo.model.featureReportLength;
    CLI::Option* manufacturerOption_ = nullptr;
    CLI::Option* productOption_ = nullptr;
    CLI::Option* serialOption_ = nullptr;
};

// Accepts "B038", "b038" and "0xB038"; throws CLI::ValidationError naming the option.
std::uint16_t ParseHex16(const std::string& option, const std::string& text);

}  // namespace velt::cli
