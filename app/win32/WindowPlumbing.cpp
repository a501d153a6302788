#include "app/win32/WindowPlumbing.h"

#include "app/win32/DelayedActions.h"

#include "app/win32/ResourceIds.h"
#include "platform/WindowsText.h"

namespace velt {

HWND CreateTopWindow(const wchar_t* className, WNDPROC procedure, const std::string& title,
                     DWORD style, DWORD exStyle, void* owner) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(VELT_ICON_ID));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
    return CreateWindowExW(exStyle, className, Utf16(title).c_str(), style, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                           owner);
}

void DispatchToWindow(HWND window, MSG& message) {
    const bool key = message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST;
    if (!key || !IsDialogMessageW(window, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::uintptr_t DelayedActions::Add(std::function<void()> action) {
    const std::uintptr_t id = next_++;
    actions_[id] = std::move(action);
    return id;
}

bool DelayedActions::Run(std::uintptr_t id) {
    const auto found = actions_.find(id);
    if (found == actions_.end()) {
        return false;
    }
    // Taken out first: the action may run a nested loop or start timers of its own.
    const std::function<void()> action = std::move(found->second);
    actions_.erase(found);
    action();
    return true;
}

}  // namespace velt
