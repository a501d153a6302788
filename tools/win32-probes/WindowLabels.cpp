// Prints what the update window's four value labels hold, read from the running window by
// another program as a user's tools would, one `name: "text"` a line. Status 1 when no
// such window is open, 2 when a label does not answer.
//   window-labels
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/Layout.h"
#include "app/win32/Win32Window.h"
#include "platform/WindowsText.h"

namespace {

// The label belongs to another process: WM_GETTEXT is carried across, and a window that is
// not taking messages fails this rather than holding the caller.
bool LabelText(HWND label, std::wstring& text) {
    constexpr UINT kAnswerMs = 5000;
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(label, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &length) ==
        0) {
        return false;
    }
    text.assign(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(label, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                            SMTO_ABORTIFHUNG, kAnswerMs, &copied) == 0) {
        return false;
    }
    text.resize(copied);
    return true;
}

}  // namespace

int main() {
    const HWND window = FindWindowW(nullptr, velt::Utf16(velt::kWindowTitle).c_str());
    if (window == nullptr) {
        std::fprintf(stderr, "window-labels: no window \"%s\"\n",
                     std::string(velt::kWindowTitle).c_str());
        return 1;
    }
    for (velt::Control which : {velt::Control::lblManuf, velt::Control::lblProduct,
                                velt::Control::lblVersion, velt::Control::lblSerialNumber}) {
        const std::string name(velt::LayoutOf(which).name);
        const HWND label = GetDlgItem(window, velt::ControlId(which));
        std::wstring text;
        if (label == nullptr || !LabelText(label, text)) {
            std::fprintf(stderr, "window-labels: %s does not answer\n", name.c_str());
            return 2;
        }
        std::printf("%s: \"%s\"\n", name.c_str(), velt::Utf8(text).c_str());
    }
    return 0;
}
