// The update window on a simulated Velt-USB, in real time. Prints one result line on
// standard output however it ends, for scripts to check. A windows program, so that no
// console opens with it; started from a console, it writes to that one.
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/DemoProgram.h"
#include "app/win32/ScriptSupport.h"
#include "app/win32/Win32Window.h"
#include "platform/Utf8.h"
#include "platform/WindowsText.h"

// Last: its MessageBox macro would rename the window's call in the headers above.
#include <windows.h>
#undef MessageBox

namespace {

using velt::Control;

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
                    velt::AnswerMessageBoxAfter(velt::kUnattendedMessageMs);
                }
            });
    }
    int Run(velt::DemoDriver& driver) override { return velt::RunWindow(*window_, driver); }

  private:
    std::unique_ptr<velt::Win32Window> window_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    velt::ConnectConsole();
    const std::vector<std::string> arguments = velt::Utf8Arguments();
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    Win32DemoView view;
    return velt::RunDemoProgram(static_cast<int>(argv.size()), argv.data(), view);
}
