// The update window on a simulated Velt-USB, in real time. Prints one result line on
// standard output however it ends, for scripts to check. A windows program, so that no
// console opens with it; started from a console, it writes to that one.
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "app/DemoDriver.h"
#include "app/DemoOptions.h"
#include "app/FrmMain.h"
#include "app/win32/ScriptSupport.h"
#include "app/win32/Win32Window.h"
#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "platform/Utf8.h"
#include "platform/WindowsText.h"

// Last: its MessageBox macro would rename the window's call in the headers above.
#include <windows.h>
#undef MessageBox

namespace {

using velt::Control;

// How long an unattended run leaves a message box up before answering it.
constexpr UINT kUnattendedMessageMs = 1500;

// The demo's own doings, by the Win32 view's means.
class Win32DemoDriver final : public velt::DemoDriver {
  public:
    Win32DemoDriver(velt::FrmMain& logic, velt::Win32Window& window,
                    const velt::DemoOptions& options)
        : DemoDriver(logic, window, options), window_(window) {}

  private:
    void Later(int milliseconds, std::function<void()> action) override {
        window_.After(static_cast<unsigned>(milliseconds), std::move(action));
    }
    void ClickButton() override {
        SendMessageW(window_.control(Control::btnUpgradeFW), BM_CLICK, 0, 0);
    }
    // The way of the close box, so the logic's close gate decides.
    void RequestClose() override { PostMessageW(window_.window(), WM_CLOSE, 0, 0); }
    bool SaveClientArea(const std::string& file) override { return window_.SaveClientArea(file); }
    std::string PictureExtension() const override { return ".png"; }

    // What the value labels hold, read back from the controls.
    void ScreenshotTaken() override {
        for (Control label : {Control::lblManuf, Control::lblProduct, Control::lblVersion,
                              Control::lblSerialNumber}) {
            const HWND control = window_.control(label);
            std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
            text.resize(static_cast<std::size_t>(
                GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
            std::cout << velt::LayoutOf(label).name << ": \"" << velt::Utf8(text) << "\""
                      << std::endl;
        }
    }

    velt::Win32Window& window_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    velt::ConnectConsole();
    const std::vector<std::string> arguments = velt::Utf8Arguments();
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    velt::DemoOptions options;
    if (auto status = velt::ParseDemoOptions(static_cast<int>(argv.size()), argv.data(), options,
                                             std::cout, std::cerr)) {
        // Scripts read this line however the demo ends, a bad option included.
        std::cout << velt::sim::ResultLine(nullptr, velt::OutcomeName(velt::UpdateOutcome::None))
                  << std::endl;
        return *status;
    }

    velt::SteadyClock clock;
    velt::sim::SimulatedBus bus(clock);
    // The window takes the first device found: the first plugged in.
    const auto velts = velt::sim::PopulateBus(bus, options.bus);
    velt::sim::SimulatedVelt* velt = velts.empty() ? nullptr : velts.front();
    const std::string folder =
        options.folder.empty() ? velt::ProgramFolder() + "\\demo-image" : options.folder;

    int status = 1;
    velt::UpdateOutcome outcome = velt::UpdateOutcome::None;
    try {
        velt::Win32Window window;
        velt::sim::BusMonitor monitor(bus, clock);
        velt::FrmMain logic(window, bus, clock, folder, options.image, &monitor);
        Win32DemoDriver driver(logic, window, options);

        const bool unattended =
            options.autoUpdate || !options.screenshot.empty() || options.closeAfterMs > 0;
        window.SetMessageBoxObserver(
            [unattended](const std::string& title, const std::string& text) {
                std::cerr << "message box: " << velt::Printable(title) << ": "
                          << velt::Printable(text) << std::endl;
                if (unattended) {
                    velt::AnswerMessageBoxAfter(kUnattendedMessageMs);
                }
            });
        if (velt != nullptr) {
            bus.SetReportHook(
                [&driver, velt](const velt::sim::ReportRecord&) { driver.OnReport(*velt); });
        }
        status = velt::RunWindow(window, driver);
        outcome = logic.outcome();
    } catch (const std::exception& error) {
        std::cerr << "velt-usb-firmware-demo: " << error.what() << std::endl;
    }
    std::cout << velt::sim::ResultLine(velt, velt::OutcomeName(outcome)) << std::endl;
    return status;
}
