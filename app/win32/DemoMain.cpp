// The update window on a simulated Velt-USB, in real time. Prints one result line on
// standard output however it ends, for scripts to check. A windows program, so that no
// console opens with it; started from a console, it writes to that one.
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/DemoProgram.h"
#include "app/win32/Win32Window.h"
#include "platform/Utf8.h"
#include "platform/WindowsText.h"

// Last: its MessageBox macro would rename the window's call in the headers above.
#include <windows.h>
#undef MessageBox

namespace {

using velt::Control;

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

class Win32DemoView final : public velt::DemoView {
  public:
    std::string ImageFolder() override { return velt::ProgramFolder() + "\\demo-image"; }
    velt::WindowSystem& OpenWindow() override {
        window_ = std::make_unique<velt::Win32Window>();
        return *window_;
    }
    std::unique_ptr<velt::DemoDriver> Driver(velt::FrmMain& logic,
                                             const velt::DemoOptions& options) override {
        return std::make_unique<Win32DemoDriver>(logic, *window_, options);
    }
    void ObserveMessageBoxes(std::function<void(const std::string&, const std::string&)> told,
                             bool answer) override {
        window_->SetMessageBoxObserver(
            [told, answer](const std::string& title, const std::string& text) {
                told(title, text);
                if (answer) {
                    SetTimer(nullptr, 0, velt::kUnattendedMessageMs, &AnswerMessageBox);
                }
            });
    }
    int Run(velt::DemoDriver& driver) override { return velt::RunWindow(*window_, driver); }

  private:
    std::unique_ptr<velt::Win32Window> window_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    ConnectConsole();
    const std::vector<std::string> arguments = velt::Utf8Arguments();
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    Win32DemoView view;
    return velt::RunDemoProgram(static_cast<int>(argv.size()), argv.data(), view);
}
