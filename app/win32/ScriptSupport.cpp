#include "app/win32/ScriptSupport.h"

#include <windows.h>

#include <cstdio>
#include <string_view>

namespace velt {

namespace {

bool Usable(DWORD stream) {
    const HANDLE handle = GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
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

void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindMessageBox, reinterpret_cast<LPARAM>(&box));
    if (box == nullptr) {
        return;  // not up yet: the timer comes again
    }
    KillTimer(nullptr, timer);
    const int button = GetDlgItem(box, IDYES) != nullptr ? IDYES : IDOK;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

}  // namespace

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

void AnswerMessageBoxAfter(unsigned milliseconds) {
    SetTimer(nullptr, 0, milliseconds, &AnswerMessageBox);
}

}  // namespace velt
