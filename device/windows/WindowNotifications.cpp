#include "device/windows/WindowsDeviceMonitor.h"

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <dbt.h>
// mingw-w64 declares the HID calls without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <future>
#include <thread>
#include <utility>

namespace velt::windows {

struct WindowNotifications::Pump {
    std::function<void()> changed;
    std::thread thread;
    DWORD threadId = 0;
};

namespace {

constexpr wchar_t kClassName[] = L"VeltUsbDeviceNotifications";

LRESULT CALLBACK NotificationProc(HWND window, UINT message, WPARAM event, LPARAM data) {
    if (message == WM_DEVICECHANGE &&
        (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE)) {
        if (auto* changed = reinterpret_cast<std::function<void()>*>(
                GetWindowLongPtrW(window, GWLP_USERDATA))) {
            (*changed)();
        }
        return TRUE;
    }
    return DefWindowProcW(window, message, event, data);
}

// The pump's thread: the window and its registration live and die on it.
void RunPump(std::function<void()>* changed, DWORD* threadId, std::promise<ErrorCode>* started) {
    *threadId = GetCurrentThreadId();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = NotificationProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        started->set_value(GetLastError());
        return;
    }
    // A message-only window: never shown, never sent broadcasts, yet given the
    // notifications registered for it.
    const HWND window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        instance, nullptr);
    if (!window) {
        started->set_value(GetLastError());
        return;
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(changed));
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    const HDEVNOTIFY registration =
        RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!registration) {
        started->set_value(GetLastError());
        DestroyWindow(window);
        return;
    }
    started->set_value(ERROR_SUCCESS);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    UnregisterDeviceNotification(registration);
    DestroyWindow(window);
}

}  // namespace

WindowNotifications::WindowNotifications() : pump_(std::make_unique<Pump>()) {}

WindowNotifications::~WindowNotifications() {
    if (pump_->thread.joinable()) {
        // The thread has its message queue: it made its window before Start returned.
        PostThreadMessageW(pump_->threadId, WM_QUIT, 0, 0);
        pump_->thread.join();
    }
}

ErrorCode WindowNotifications::Start(std::function<void()> changed) {
    pump_->changed = std::move(changed);
    std::promise<ErrorCode> started;
    pump_->thread = std::thread(RunPump, &pump_->changed, &pump_->threadId, &started);
    const ErrorCode error = started.get_future().get();
    if (error != ERROR_SUCCESS) {
        pump_->thread.join();
    }
    return error;
}

}  // namespace velt::windows
