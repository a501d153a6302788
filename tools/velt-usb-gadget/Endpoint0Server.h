#pragma once

#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <signal.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/velt-usb-gadget/DeviceLogic.h"
#include "tools/velt-usb-gadget/Gadget.h"
#include "tools/velt-usb-gadget/GadgetOptions.h"

namespace velt::vm {

// The device on the bus: answers the control requests the kernel hands to ep0, gives each
// SET_REPORT to the firmware model and carries out what it decides (the mode switch,
// leaving the bus).
class Endpoint0Server {
  public:
    explicit Endpoint0Server(const GadgetOptions& options);

    // Puts the device on the bus; false after saying why on standard error.
    bool Start();
    // Serves ep0 until `stop` is set or the stop file exists.
    void Run(const volatile sig_atomic_t& stop);
    // Prints the summary and takes the device off the bus.
    void Stop();

  private:
    bool Fail(const std::string& message);
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void KeepRecord(const std::vector<std::uint8_t>& record);
    static void TouchFile(const std::string& path);
    void Handle(const usb_functionfs_event& event);
    void Reply(const void* data, std::size_t length);
    void Stall(const usb_ctrlrequest& request);
    void Setup(const usb_ctrlrequest& request);
    void SetReport(std::uint8_t type, std::uint8_t reportId, unsigned length);
    void SwitchToBootloader();

    GadgetOptions options_;
    int recordsFd_ = -1;
    std::string recordsError_;
    DeviceLogic logic_;
    ConfigfsGadget gadget_;
    FfsHidFunction function_;
};

}  // namespace velt::vm
