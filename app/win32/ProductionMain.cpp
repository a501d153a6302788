// The production window for the factory line: "Velt-USB Production.exe" [options] [IMAGE],
// on the Windows HID stack, or on a simulated bus in real time with --simulate. A windows
// program, so that no console opens with it; started from a console, it writes to that one:
// with --screenshot, each tile as it ended, and on the simulated bus each device's line.
#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/production/ProductionOptions.h"
#include "app/production/ProductionStation.h"
#include "app/production/ProductionTexts.h"
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

// How long an unattended run leaves a message box up before answering it.
constexpr unsigned kUnattendedMessageMs = 1500;
// How long the last tile's change is left to be painted before the picture.
constexpr unsigned kPaintMs = 300;

// Passes everything on to the window, and sees from the tiles when every device the run
// waits for has ended, for the unattended picture.
class UnattendedWindow final : public ProductionWindow {
  public:
    UnattendedWindow(Win32ProductionWindow& window, const ProductionOptions& options, int devices)
        : window_(window), options_(options), devices_(devices) {}

    // Saves the picture (once) and asks the window to close, the way the close box does.
    void Finish() {
        if (pictureDone_ || window_.closed()) {
            return;
        }
        pictureDone_ = true;
        if (!options_.screenshot.empty()) {
            if (!window_.SaveClientArea(options_.screenshot)) {
                std::cerr << "cannot save the window to " << options_.screenshot << std::endl;
            }
            for (const Tile& tile : window_.tiles()) {
                std::cout << "tile " << tile.location << ": " << StateWords(tile)
                          << (tile.reason.empty() ? "" : " (" + tile.reason + ")") << std::endl;
            }
        }
        PostMessageW(window_.window(), WM_CLOSE, 0, 0);
    }

    void ShowSetup(const Setup& setup) override { window_.ShowSetup(setup); }
    void ShowArmed(bool armed, bool canArm) override { window_.ShowArmed(armed, canArm); }
    void ShowTiles(const std::vector<Tile>& tiles) override {
        window_.ShowTiles(tiles);
        int settled = 0;
        for (const Tile& tile : tiles) {
            settled += tile.state == TileState::Passed || tile.state == TileState::Failed ||
                       tile.state == TileState::AlreadyDone;
        }
        if (!options_.screenshot.empty() && !pictureDone_ && settled >= devices_ &&
            settled == static_cast<int>(tiles.size())) {
            window_.After(kPaintMs, [this] { Finish(); });
        }
    }
    void ShowCounters(const Counters& counters) override { window_.ShowCounters(counters); }
    void ShowStatus(const std::string& text) override { window_.ShowStatus(text); }
    void Alert(const std::string& text, const std::string& title) override {
        window_.Alert(text, title);
    }
    bool Ask(const std::string& question, const std::string& title) override {
        return window_.Ask(question, title);
    }
    void StartTimer(std::uint32_t intervalMs) override { window_.StartTimer(intervalMs); }
    void Close(int exitStatus) override { window_.Close(exitStatus); }

  private:
    Win32ProductionWindow& window_;
    const ProductionOptions& options_;
    int devices_;  // settled tiles wanted before the picture
    bool pictureDone_ = false;
};

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
    std::vector<velt::sim::SimulatedVelt*> velts;
    Setup initial;
    initial.image = options.image;
    initial.expectedSha256 = options.expectSha256;
    initial.record = options.record;
    initial.station = options.station;
    initial.expected = options.expected;

    // Unattended, message boxes are answered after a while; attended, they wait.
    const bool attended = options.screenshot.empty() && options.closeAfterMs <= 0;
    int status = 1;
    try {
        std::unique_ptr<velt::HidBackend> platformBackend;
        std::unique_ptr<velt::DeviceMonitor> monitor;
        if (options.simulate) {
            velts = velt::sim::PopulateBus(bus, options.bus);
            monitor = std::make_unique<velt::sim::BusMonitor>(bus, clock);
        } else {
            platformBackend = velt::MakePlatformBackend();
            monitor = velt::MakePlatformMonitor();
        }
        velt::HidBackend& backend = options.simulate ? bus : *platformBackend;
        Win32ProductionWindow window;
        // The picture waits for every device of the simulated bus, or the count expected.
        const int devices = options.simulate ? static_cast<int>(velts.size())
                                             : std::max(1, options.expected.value_or(1));
        UnattendedWindow unattended(window, options, devices);
        window.SetMessageBoxObserver([attended](const std::string& title, const std::string& text) {
            std::cerr << "message box: " << velt::Printable(title) << ": " << velt::Printable(text)
                      << std::endl;
            if (!attended) {
                velt::AnswerMessageBoxAfter(kUnattendedMessageMs);
            }
        });
        ProductionStation station(unattended, backend, clock, monitor.get(), initial, options.arm);
        if (options.closeAfterMs > 0) {
            window.After(static_cast<unsigned>(options.closeAfterMs),
                         [&unattended] { unattended.Finish(); });
        }
        status = window.Run(station);
    } catch (const std::exception& error) {
        std::cerr << "Velt-USB Production: " << error.what() << std::endl;
        if (attended) {
            // Started from the desktop there is no console to read this on.
            MessageBoxW(nullptr, velt::Utf16(error.what()).c_str(), L"Velt-USB Production",
                        MB_ICONERROR | MB_OK);
        }
    }
    for (const velt::sim::SimulatedVelt* velt : velts) {
        std::cout << velt::sim::DeviceLine(*velt) << std::endl;
    }
    return status;
}
