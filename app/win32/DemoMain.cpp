// The update window on a simulated Velt-USB, in real time. Prints one result line on
// standard output however it ends, for scripts to check. A windows program, so that no
// console opens with it; started from a console, it writes to that one.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/DemoOptions.h"
#include "app/FrmMain.h"
#include "app/win32/Win32Text.h"
#include "app/win32/Win32Window.h"
#include "device/simulated/SimulatedBus.h"

// Last: its MessageBox macro would rename the window's call in the headers above.
#include <windows.h>
#undef MessageBox

namespace {

using velt::Control;

// How long an unattended run leaves a message box up before answering it.
constexpr UINT kUnattendedMessageMs = 1500;

bool Usable(DWORD stream) {
    const HANDLE handle = GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Output already redirected (a pipe, a file) stays where it is; otherwise it goes to the
// console the program was started from, if any.
void ConnectConsole() {
    const bool out = Usable(STD_OUTPUT_HANDLE);
    const bool err = Usable(STD_ERROR_HANDLE);
    if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    SetConsoleOutputCP(CP_UTF8);
    if (!out) {
        std::freopen("CONOUT$", "w", stdout);
    }
    if (!err) {
        std::freopen("CONOUT$", "w", stderr);
    }
}

BOOL CALLBACK FindMessageBox(HWND candidate, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(candidate, name, 16);
    if (std::wstring_view(name) == L"#32770" && IsWindowVisible(candidate)) {
        *reinterpret_cast<HWND*>(found) = candidate;
        return FALSE;
    }
    return TRUE;
}

// Answers the thread's message box, once it is up, with OK.
void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindMessageBox, reinterpret_cast<LPARAM>(&box));
    if (box != nullptr) {
        KillTimer(nullptr, timer);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    }
}

// Passes the window's events on to the logic and adds what the demo does by itself.
class DemoDriver final : public velt::WindowEvents {
  public:
    DemoDriver(velt::FrmMain& logic, velt::Win32Window& window, const velt::DemoOptions& options)
        : logic_(logic), window_(window), options_(options) {}

    void Form_Load() override { logic_.Form_Load(); }

    void Form_Activate() override {
        if (options_.closeAfterMs > 0) {
            // Goes the way of the close box, so the logic's close gate decides.
            window_.After(static_cast<unsigned>(options_.closeAfterMs),
                          [this] { PostMessageW(window_.window(), WM_CLOSE, 0, 0); });
        }
        logic_.Form_Activate();
        if (!options_.screenshot.empty()) {
            window_.After(0, [this] {
                Save(options_.screenshot);
                PrintValueLabels();
                window_.Unload(0);
            });
        } else if (options_.autoUpdate) {
            window_.After(0, [this] {
                SendMessageW(window_.control(Control::btnUpgradeFW), BM_CLICK, 0, 0);
            });
        }
    }

    void Form_Unload() override {
        if (!options_.screenshotDir.empty()) {
            Save(options_.screenshotDir + "\\end.bmp");
        }
        logic_.Form_Unload();
    }

    void Form_Terminate() override { logic_.Form_Terminate(); }
    void btnUpgradeFW_Click() override { logic_.btnUpgradeFW_Click(); }
    void Form_CloseRequest() override { logic_.Form_CloseRequest(); }

    // Once, when about half the records are in.
    void OnReport(const velt::sim::SimulatedVelt& velt, std::size_t halfRecords) {
        if (transferSaved_ || options_.screenshotDir.empty() || halfRecords == 0 ||
            velt.records() < halfRecords) {
            return;
        }
        transferSaved_ = true;
        Save(options_.screenshotDir + "\\transfer.bmp");
    }

  private:
    void Save(const std::string& file) {
        std::error_code error;
        const auto folder = std::filesystem::path(velt::Utf16(file)).parent_path();
        if (!folder.empty()) {
            std::filesystem::create_directories(folder, error);
        }
        if (!window_.SaveClientArea(file)) {
            std::cerr << "cannot save " << file << std::endl;
        }
    }

    // What the value labels hold, read back from the controls.
    void PrintValueLabels() {
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

    velt::FrmMain& logic_;
    velt::Win32Window& window_;
    const velt::DemoOptions& options_;
    bool transferSaved_ = false;
};

std::size_t HalfTheRecords(const std::string& imagePath) {
    std::error_code error;
    const auto size =
        std::filesystem::file_size(std::filesystem::path(velt::Utf16(imagePath)), error);
    if (error) {
        return 0;
    }
    const std::size_t records = (size + 39) / 40;
    return records < 2 ? records : records / 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    ConnectConsole();
    const std::vector<std::string> arguments = velt::Utf8Arguments();
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    velt::DemoOptions options;
    if (auto status = velt::ParseDemoOptions(static_cast<int>(argv.size()), argv.data(), options,
                                             std::cout, std::cerr)) {
        // Scripts read this line however the demo ends, a bad option included.
        std::cout << velt::DemoResultLine(nullptr, velt::UpdateOutcome::None) << std::endl;
        return *status;
    }

    velt::SteadyClock clock;
    velt::sim::SimulatedBus bus(clock);
    velt::sim::SimulatedVelt* velt = velt::PopulateBus(bus, options);
    const std::string folder =
        options.folder.empty() ? velt::ProgramFolder() + "\\demo-image" : options.folder;

    int status = 1;
    velt::UpdateOutcome outcome = velt::UpdateOutcome::None;
    try {
        velt::Win32Window window;
        velt::FrmMain logic(window, bus, clock, folder, options.image);
        DemoDriver driver(logic, window, options);

        const bool unattended =
            options.autoUpdate || !options.screenshot.empty() || options.closeAfterMs > 0;
        window.SetMessageBoxObserver(
            [unattended](const std::string& title, const std::string& text) {
                std::cerr << "message box: " << title << ": " << text << std::endl;
                if (unattended) {
                    SetTimer(nullptr, 0, kUnattendedMessageMs, &AnswerMessageBox);
                }
            });
        if (velt != nullptr) {
            const std::size_t half = HalfTheRecords(logic.imagePath());
            bus.SetReportHook([&driver, velt, half](const velt::sim::ReportRecord&) {
                driver.OnReport(*velt, half);
            });
        }
        status = velt::RunWindow(window, driver);
        outcome = logic.outcome();
    } catch (const std::exception& error) {
        std::cerr << "velt-usb-firmware-demo: " << error.what() << std::endl;
    }
    std::cout << velt::DemoResultLine(velt, outcome) << std::endl;
    return status;
}
