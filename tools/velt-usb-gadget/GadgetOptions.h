#pragma once

#include <string>

#include "tools/velt-usb-gadget/Gadget.h"

namespace velt::vm {

// What the gadget plays and how it is driven.
struct GadgetOptions {
    std::string name = "velt";
    std::string udc;
    DeviceIdentity identity;
    int leaveAfterMs = 0;
    int detachMs = 300;
    int vanishAfter = 0;
    int returnAfterMs = 0;
    bool other = false;
    bool legacy = false;
    bool verbose = false;
    std::string stopFile;
    std::string readyFile;
    std::string recordsFile;
};

// Reads the command line into options; false after saying what is wrong on standard
// error. --help prints the usage and ends the program.
bool ParseOptions(int argc, char** argv, GadgetOptions& options);

}  // namespace velt::vm
