#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/VeltProtocol.h"

namespace velt::vm {

struct DeviceIdentity {
    std::uint16_t vendorId = 0x1209;
    std::uint16_t productId = protocol::applicationProductId;
    std::uint16_t bcdDevice = 0x0102;
    std::string manufacturer = "Velt Instruments";
    std::string product = "Velt-USB";
    std::string serial = "VU-000123";
};

// A HID interface served from user space through FunctionFS: the kernel hands every
// control request addressed to the interface (GET_DESCRIPTOR of the report descriptor,
// SET_REPORT, SET_IDLE, ...) to ep0, and nothing is acknowledged until we answer. That
// is what lets the device see the report type and ID of each SET_REPORT, and refuse to
// take another record once it has decided to leave the bus.
class FfsHidFunction {
  public:
    ~FfsHidFunction();

    // Mounts the FunctionFS instance `instance` at `mountPoint` and writes the interface
    // descriptors. The instance must already exist (a configfs ffs.<instance> function, or
    // the legacy gadget's functions= list).
    bool Open(const std::string& instance, const std::string& mountPoint,
              const std::vector<std::uint8_t>& reportDescriptor, std::string& error);
    void Close();

    int ep0() const { return ep0_; }
    const std::vector<std::uint8_t>& reportDescriptor() const { return reportDescriptor_; }

  private:
    int ep0_ = -1;
    std::string mountPoint_;
    bool mounted_ = false;
    std::vector<std::uint8_t> reportDescriptor_;
};

// A gadget built in configfs with one FunctionFS function, bound to one UDC.
class ConfigfsGadget {
  public:
    ~ConfigfsGadget();

    // Creates /sys/kernel/config/usb_gadget/<name> with the identity and the function
    // ffs.<name>. Does not bind.
    bool Create(const std::string& name, const DeviceIdentity& identity, std::string& error);
    // Links the function into the configuration; the FunctionFS descriptors must have
    // been written before Bind().
    bool LinkFunction(std::string& error);
    bool Bind(const std::string& udc, std::string& error);
    // The host sees a disconnect.
    bool Unbind(std::string& error);
    bool SetProductId(std::uint16_t productId, std::string& error);
    // Unbinds and removes what Create() made; the FunctionFS mount must be gone first.
    void Destroy();

    const std::string& name() const { return name_; }
    bool bound() const { return bound_; }

  private:
    std::string root_;
    std::string name_;
    bool created_ = false;
    bool linked_ = false;
    bool bound_ = false;
};

// The first UDC in /sys/class/udc (sorted), or nullopt.
std::optional<std::string> FirstUdc();

}  // namespace velt::vm
