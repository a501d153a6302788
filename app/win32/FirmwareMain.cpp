// The update window on the Windows HID stack: "Velt-USB Firmware.exe" [IMAGE]. Without
// IMAGE the firmware image is looked for beside the program.
#include <exception>
#include <string>
#include <vector>

#include "app/FrmMain.h"
#include "app/win32/Win32Window.h"
#include "device/PlatformBackend.h"
#include "platform/WindowsText.h"

// Last: its MessageBox macro would rename the window's call in the headers above.
#include <windows.h>
#undef MessageBox

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        const auto backend = velt::MakePlatformBackend();
        const auto monitor = velt::MakePlatformMonitor();
        velt::SteadyClock clock;
        velt::Win32Window window;
        const std::vector<std::string> arguments = velt::Utf8Arguments();
        velt::FrmMain logic(window, *backend, clock, velt::ProgramFolder(),
                            arguments.size() > 1 ? arguments[1] : std::string(), monitor.get());
        return velt::RunWindow(window, logic);
    } catch (const std::exception& error) {
        // A windows program has no console to report to.
        MessageBoxW(nullptr, velt::Utf16(error.what()).c_str(), L"Velt-USB Firmware Update",
                    MB_ICONSTOP | MB_OK);
        return 1;
    }
}
