// The window's own logic on the real hidraw backend, driven by a scripted window that
// prints every change it is asked to make: start-up, then (with --click) the update
// button, then the close box. Used inside the VM, where there is no Qt.
//   velt-vm-window FOLDER [--click]
#include <iostream>
#include <string>

#include "FakeWindow.h"
#include "FrmMain.h"
#include "HidrawPlatform.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: velt-vm-window FOLDER [--click]\n";
        return 2;
    }
    const bool click = argc > 2 && std::string(argv[2]) == "--click";

    velt::HidrawPlatform platform;
    velt::test::FakeWindow window;
    velt::FrmMain form(window, platform, argv[1]);
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

    for (const auto& line : window.log) {
        std::cout << line << '\n';
    }
    std::cout << "outcome " << velt::OutcomeName(form.outcome()) << std::endl;
    return window.exitStatus.value_or(0);
}
