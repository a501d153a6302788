// velt-usb-gadget: plays the Velt-USB (or another HID device) on a USB device controller,
// so that a real kernel enumerates it over dummy_hcd. See tests/vm/README.md.
#include <signal.h>

#include "tools/velt-usb-gadget/Endpoint0Server.h"
#include "tools/velt-usb-gadget/GadgetOptions.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

void OnSignal(int) {
    stopRequested = 1;
}

}  // namespace

int main(int argc, char** argv) {
    velt::vm::GadgetOptions options;
    if (!velt::vm::ParseOptions(argc, argv, options)) {
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    velt::vm::Endpoint0Server device(options);
    if (!device.Start()) {
        device.Stop();
        return 1;
    }
    device.Run(stopRequested);
    device.Stop();
    return 0;
}
