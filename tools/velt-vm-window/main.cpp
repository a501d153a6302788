// The window's own logic on the real hidraw backend, driven by a scripted window that
// prints every change it is asked to make: start-up, then (with --click) the update
// button, then the close box. Used inside the VM, where there is no Qt.
//   velt-vm-window FOLDER [--click]
#include <iostream>
#include <optional>
#include <string>

#include "app/FrmMain.h"
#include "app/Layout.h"
#include "device/hidraw/HidrawBackend.h"

namespace {

using velt::Control;

class PrintingWindow final : public velt::WindowSystem {
  public:
    velt::WindowEvents* events = nullptr;
    std::optional<int> exitStatus;

    void SetCaption(Control control, const std::string& text) override {
        std::cout << "caption " << Name(control) << " '" << text << "'\n";
    }
    void SetEnabled(Control control, bool value) override {
        std::cout << "enabled " << Name(control) << ' ' << value << '\n';
    }
    void SetVisible(Control control, bool value) override {
        std::cout << "visible " << Name(control) << ' ' << value << '\n';
    }
    float GetWidth(Control control) override {
        return static_cast<float>(velt::LayoutOf(control).width);
    }
    void SetWidth(Control control, float twips) override {
        std::cout << "width " << Name(control) << ' ' << twips << '\n';
    }
    void Refresh(Control) override {}
    void SetWindowTitle(const std::string& text) override {
        std::cout << "title '" << text << "'\n";
    }
    void ShowWindow() override { std::cout << "show\n"; }
    void MessageBox(const std::string& text, const std::string& title, int) override {
        std::cout << "box " << title << ": " << text << '\n';
    }
    void DoEvents() override {}
    // The script asks for no devices plugged in later.
    void StartTimer(std::uint32_t) override {}
    void Unload(int status) override {
        std::cout << "unload " << status << '\n';
        if (!exitStatus) {
            events->Form_Unload();
            exitStatus = status;
        }
    }

  private:
    static std::string Name(Control control) { return std::string(velt::LayoutOf(control).name); }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: velt-vm-window FOLDER [--click]\n";
        return 2;
    }
    const bool click = argc > 2 && std::string(argv[2]) == "--click";

    velt::HidrawBackend backend;
    velt::SteadyClock clock;
    PrintingWindow window;
    velt::FrmMain form(window, backend, clock, argv[1]);
    window.events = &form;

    form.Form_Load();
    form.Form_Activate();
    if (click && !window.exitStatus) {
        form.btnUpgradeFW_Click();
    }
    if (!window.exitStatus) {
        form.Form_CloseRequest();
    }
    form.Form_Terminate();
    std::cout << "outcome " << velt::OutcomeName(form.outcome()) << std::endl;
    return window.exitStatus.value_or(0);
}
