#include "tools/velt-usb-gadget/GadgetOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "device/VeltProtocol.h"

namespace velt::vm {

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: velt-usb-gadget [options]\n"
                 "  --name NAME           configfs gadget and FunctionFS instance (velt)\n"
                 "  --udc UDC             controller to bind to (first in /sys/class/udc)\n"
                 "  --vid N --pid N       USB IDs (0x1209, 0x%04X; 0x%04X starts in "
                 "bootloader mode)\n"
                 "  --bcd N               bcdDevice (0x0102)\n"
                 "  --manufacturer S --product S --serial S\n"
                 "  --leave-after-ms N    time on the bus between the mode switch and leaving "
                 "it (0)\n"
                 "  --detach-ms N         time off the bus at the mode switch (300)\n"
                 "  --vanish-after N      leave the bus after record N\n"
                 "  --return-after-ms N   ...and come back in bootloader mode N ms later; "
                 "whatever it is sent then counts as late\n"
                 "  --other               a HID device that is not a Velt-USB: report "
                 "whatever it is sent\n"
                 "  --legacy              the instance belongs to g_ffs: no configfs, no "
                 "mode switch\n"
                 "  --stop-file PATH      stop when PATH exists (also on SIGTERM/SIGINT)\n"
                 "  --ready-file PATH     created once the device is on the bus\n"
                 "  --records-file PATH   the payload of every record taken, in order\n"
                 "  --verbose\n",
                 protocol::applicationProductId, protocol::bootloaderProductId);
}

bool ParseNumber(const char* text, long max, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 0);
    return errno == 0 && end != text && *end == '\0' && value >= 0 && value <= max;
}

}  // namespace

bool ParseOptions(int argc, char** argv, GadgetOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&](const char*& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "velt-usb-gadget: %s needs a value\n", arg.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto number = [&](long max, long& out) {
            const char* text = nullptr;
            if (!next(text)) {
                return false;
            }
            if (!ParseNumber(text, max, out)) {
                std::fprintf(stderr, "velt-usb-gadget: bad value for %s: %s\n", arg.c_str(), text);
                return false;
            }
            return true;
        };
        const char* text = nullptr;
        long value = 0;
        if (arg == "--name") {
            if (!next(text))
                return false;
            options.name = text;
        } else if (arg == "--udc") {
            if (!next(text))
                return false;
            options.udc = text;
        } else if (arg == "--vid") {
            if (!number(0xffff, value))
                return false;
            options.identity.vendorId = static_cast<std::uint16_t>(value);
        } else if (arg == "--pid") {
            if (!number(0xffff, value))
                return false;
            options.identity.productId = static_cast<std::uint16_t>(value);
        } else if (arg == "--bcd") {
            if (!number(0xffff, value))
                return false;
            options.identity.bcdDevice = static_cast<std::uint16_t>(value);
        } else if (arg == "--manufacturer") {
            if (!next(text))
                return false;
            options.identity.manufacturer = text;
        } else if (arg == "--product") {
            if (!next(text))
                return false;
            options.identity.product = text;
        } else if (arg == "--serial") {
            if (!next(text))
                return false;
            options.identity.serial = text;
        } else if (arg == "--leave-after-ms") {
            if (!number(600000, value))
                return false;
            options.leaveAfterMs = static_cast<int>(value);
        } else if (arg == "--detach-ms") {
            if (!number(600000, value))
                return false;
            options.detachMs = static_cast<int>(value);
        } else if (arg == "--vanish-after") {
            if (!number(1000000, value))
                return false;
            options.vanishAfter = static_cast<int>(value);
        } else if (arg == "--return-after-ms") {
            if (!number(600000, value))
                return false;
            options.returnAfterMs = static_cast<int>(value);
        } else if (arg == "--other") {
            options.other = true;
        } else if (arg == "--legacy") {
            options.legacy = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--stop-file") {
            if (!next(text))
                return false;
            options.stopFile = text;
        } else if (arg == "--ready-file") {
            if (!next(text))
                return false;
            options.readyFile = text;
        } else if (arg == "--records-file") {
            if (!next(text))
                return false;
            options.recordsFile = text;
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            std::exit(0);
        } else {
            std::fprintf(stderr, "velt-usb-gadget: unknown option %s\n", arg.c_str());
            Usage();
            return false;
        }
    }
    return true;
}

}  // namespace velt::vm
