#include "app/DemoProgram.h"

#include <exception>
#include <iostream>

#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "platform/Clock.h"
#include "platform/Utf8.h"

namespace velt {

namespace {

constexpr const char* kProgram = "velt-usb-firmware-demo";

std::string NothingSent() {
    return sim::ResultLine(nullptr, OutcomeName(UpdateOutcome::None));
}

}  // namespace

int RunDemoProgram(int argc, const char* const* argv, DemoView& view) {
    DemoOptions options;
    if (auto status = ParseDemoOptions(argc, argv, options, std::cout, std::cerr)) {
        std::cout << NothingSent() << std::endl;
        return *status;
    }
    if (const auto missing = view.Unavailable()) {
        std::cerr << kProgram << ": " << *missing << std::endl;
        std::cout << NothingSent() << std::endl;
        return 1;
    }
    SteadyClock clock;
    sim::SimulatedBus bus(clock);
    // The window takes the first device found: the first plugged in.
    const auto plugged = sim::PopulateBus(bus, options.bus);
    sim::SimulatedVelt* const simulated = plugged.empty() ? nullptr : plugged.front();
    int status = 1;
    UpdateOutcome outcome = UpdateOutcome::None;
    try {
        WindowSystem& window = view.OpenWindow();
        const std::string folder = options.folder.empty() ? view.ImageFolder() : options.folder;
        sim::BusMonitor monitor(bus, clock);
        FrmMain logic(window, bus, clock, folder, options.image, &monitor);
        const std::unique_ptr<DemoDriver> driver = view.Driver(logic, options);
        // The text names the image as the user typed it.
        view.ObserveMessageBoxes(
            [](const std::string& title, const std::string& text) {
                std::cerr << "message box: " << Printable(title) << ": " << Printable(text)
                          << std::endl;
            },
            options.autoUpdate || !options.screenshot.empty() || options.closeAfterMs > 0);
        if (simulated != nullptr) {
            bus.SetReportHook(
                [&driver, simulated](const sim::ReportRecord&) { driver->OnReport(*simulated); });
        }
        status = view.Run(*driver);
        // The hook reaches the driver no more once the window is gone.
        bus.SetReportHook({});
        outcome = logic.outcome();
    } catch (const std::exception& error) {
        std::cerr << kProgram << ": " << error.what() << std::endl;
    }
    std::cout << sim::ResultLine(simulated, OutcomeName(outcome)) << std::endl;
    return status;
}

}  // namespace velt
