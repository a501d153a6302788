// The production window for the factory line: "Velt-USB Production.exe" [options] [IMAGE],
// on the Windows HID stack, or on a simulated bus in real time with --simulate. A windows
// program, so that no console opens with it; started from a console, it writes to that one:
// with --screenshot, each tile as it ended, and on the simulated bus each device's line.
#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/Unattended.h"
#include "app/production/ProductionOptions.h"
#include "app/production/ProductionStation.h"
#include "app/production/UnattendedRun.h"
#include "app/win32/ScriptSupport.h"
#include "app/win32/Win32ProductionWindow.h"
#include "device/PlatformBackend.h"
#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "platform/Utf8.h"
#include "platform/WindowsText.h"

// Last: its MessageBox macro would rename calls in the headers above.
#include <windows.h>
#undef MessageBox

namespace {

using namespace velt::production;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    velt::ConnectConsole();
    std::vector<std::string> arguments = velt::Utf8Arguments();
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    ProductionOptions options;
    if (auto status = ParseProductionOptions(static_cast<int>(argv.size()), argv.data(), options,
                                             std::cout, std::cerr)) {
        return *status;
    }

    velt::SteadyClock clock;
    velt::sim::SimulatedBus bus(clock);
    std::vector<velt::sim::SimulatedVelt*> plugged;
    // Unattended, message boxes are answered after a while; attended, they wait.
    const bool attended = options.screenshot.empty() && options.closeAfterMs <= 0;
    int status = 1;
    try {
        std::unique_ptr<velt::HidBackend> platformBackend;
        std::unique_ptr<velt::DeviceMonitor> monitor;
        if (options.simulate) {
            plugged = velt::sim::PopulateBus(bus, options.bus);
            monitor = std::make_unique<velt::sim::BusMonitor>(bus, clock);
        } else {
            platformBackend = velt::MakePlatformBackend();
            monitor = velt::MakePlatformMonitor();
        }
        velt::HidBackend& backend = options.simulate ? bus : *platformBackend;
        Win32ProductionWindow window;
        // The picture, then a request to close the way the close box makes it: the logic
        // has the last word.
        bool finished = false;
        const auto finish = [&] {
            if (std::exchange(finished, true) || window.closed()) {
                return;
            }
            if (!options.screenshot.empty() && !window.SaveClientArea(options.screenshot)) {
                std::cerr << "cannot save the window to " << velt::Printable(options.screenshot)
                          << std::endl;
            }
            PostMessageW(window.window(), WM_CLOSE, 0, 0);
        };
        UnattendedRun unattended(window, options, plugged.size(),
                                 [&] { window.After(kPaintBeforePictureMs, finish); });
        window.SetMessageBoxObserver([attended](const std::string& title, const std::string& text) {
            std::cerr << "message box: " << velt::Printable(title) << ": " << velt::Printable(text)
                      << std::endl;
            if (!attended) {
                velt::AnswerMessageBoxAfter(velt::kUnattendedMessageMs);
            }
        });
        ProductionStation station(unattended, backend, clock, monitor.get(), InitialSetup(options),
                                  options.arm);
        if (options.closeAfterMs > 0) {
            window.After(static_cast<unsigned>(options.closeAfterMs), finish);
        }
        status = window.Run(station);
        if (!attended) {
            for (const velt::sim::SimulatedVelt* simulated : plugged) {
                std::cout << velt::sim::DeviceLine(*simulated) << '\n';
            }
            unattended.PrintResults(std::cout);
        }
    } catch (const std::exception& error) {
        std::cerr << "Velt-USB Production: " << error.what() << std::endl;
        if (attended) {
            // Started from the desktop there is no console to read this on.
            MessageBoxW(nullptr, velt::Utf16(error.what()).c_str(), L"Velt-USB Production",
                        MB_ICONERROR | MB_OK);
        }
    }
    return status;
}
