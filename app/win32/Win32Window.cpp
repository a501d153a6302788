#include "app/win32/Win32Window.h"

// After the window's header: its MessageBox macro would rename the WindowSystem call.
#include <windows.h>

#include <commctrl.h>
#include <shobjidl.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <vector>

#include "app/win32/ClientImage.h"
#include "app/win32/ResourceIds.h"
#include "app/win32/WindowDpi.h"
#include "app/win32/WindowPlumbing.h"
#include "platform/WindowsText.h"

#undef MessageBox

namespace velt {

namespace {

constexpr wchar_t kWindowClass[] = L"VeltUsbFirmwareWindow";
// No WS_CLIPCHILDREN: a group box paints only its border, the window its inside.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = 0;
constexpr int kTwipsPerInch = 1440;
// Posted once the window is first shown.
constexpr UINT kActivateMessage = WM_APP + 1;
// Wakes the message loop so that it sees an unload.
constexpr UINT kWakeMessage = WM_APP + 2;
// The window's own timer, beyond those of After.
constexpr UINT_PTR kDeviceTimer = ~static_cast<UINT_PTR>(0);
constexpr COLORREF kBarColour = RGB(128, 128, 255);

RECT FrameForClient(int width, int height, unsigned dpi) {
    int frameWidth = 0;
    int frameHeight = 0;
    FrameSizeForClient(width, height, kWindowStyle, kWindowExStyle, dpi, frameWidth, frameHeight);
    return RECT{0, 0, frameWidth, frameHeight};
}

bool IsValueLabel(Control control) {
    return control == Control::lblManuf || control == Control::lblProduct ||
           control == Control::lblVersion || control == Control::lblSerialNumber;
}

// The controls from the top of the stacking order down, each frame right below its own
// controls: they all become children of the window, and a frame must not hide its own.
std::vector<Control> StackingOrder(std::optional<Control> parent = std::nullopt) {
    std::vector<Control> order;
    for (const ControlLayout& entry : WindowLayout()) {
        if (entry.parent == parent) {
            const std::vector<Control> inside = StackingOrder(entry.control);
            order.insert(order.end(), inside.begin(), inside.end());
            order.push_back(entry.control);
        }
    }
    return order;
}

// The control's position in the window's client area, in twips.
POINT TwipsInWindow(const ControlLayout& entry) {
    POINT at{entry.left, entry.top};
    for (auto parent = entry.parent; parent; parent = LayoutOf(*parent).parent) {
        at.x += LayoutOf(*parent).left;
        at.y += LayoutOf(*parent).top;
    }
    return at;
}

// A border `thickness` pixels wide, its top and left edges in one colour, the others in
// a second: flat when both are the same, sunken when the first is the darker.
void DrawBorder(HDC dc, RECT box, int thickness, COLORREF topLeft, COLORREF bottomRight) {
    for (int i = 0; i < thickness && box.right - box.left > 1 && box.bottom - box.top > 1; ++i) {
        HPEN light = CreatePen(PS_SOLID, 1, bottomRight);
        HPEN dark = CreatePen(PS_SOLID, 1, topLeft);
        HGDIOBJ old = SelectObject(dc, dark);
        MoveToEx(dc, box.left, box.bottom - 1, nullptr);
        LineTo(dc, box.left, box.top);
        LineTo(dc, box.right, box.top);
        SelectObject(dc, light);
        MoveToEx(dc, box.right - 1, box.top + 1, nullptr);
        LineTo(dc, box.right - 1, box.bottom - 1);
        LineTo(dc, box.left, box.bottom - 1);
        SelectObject(dc, old);
        DeleteObject(light);
        DeleteObject(dark);
        InflateRect(&box, -1, -1);
    }
}

}  // namespace

int ControlId(Control control) {
    // The button is IDOK, so that Enter presses it like a dialog's default button.
    return control == Control::btnUpgradeFW ? IDOK : 1000 + static_cast<int>(control);
}

// The window procedure's way into the object it belongs to.
struct Win32WindowProcedure {
    static LRESULT CALLBACK Run(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            auto* owner = static_cast<Win32Window*>(create->lpCreateParams);
            owner->window_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        }
        auto* owner = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (owner == nullptr) {
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        return Handle(*owner, message, wParam, lParam);
    }

    static LRESULT Handle(Win32Window& window, UINT message, WPARAM wParam, LPARAM lParam);
};

Win32Window::Win32Window() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comReady_ = SUCCEEDED(com);
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    taskbarButtonCreated_ = RegisterWindowMessageW(L"TaskbarButtonCreated");

    CreateTopWindow(kWindowClass, &Win32WindowProcedure::Run, std::string(kWindowTitle),
                    kWindowStyle, kWindowExStyle, this);
    if (window_ == nullptr) {
        if (comReady_) {
            CoUninitialize();
        }
        throw std::runtime_error("cannot create the window");
    }
    BuildControls();
    ApplyDpi(WindowDpi(window_));
    const RECT frame = FrameForClient(Pixels(kClientWidthTwips), Pixels(kClientHeightTwips), dpi_);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Win32Window::~Win32Window() {
    if (taskbar_ != nullptr) {
        taskbar_->Release();
    }
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    DeleteObject(font_);
    DestroyIcon(bigIcon_);
    DestroyIcon(smallIcon_);
    if (comReady_) {
        CoUninitialize();
    }
}

int Win32Window::Pixels(double twips) const {
    return static_cast<int>(std::lround(twips * dpi_ / kTwipsPerInch));
}

void Win32Window::BuildControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND above = HWND_TOP;
    for (Control which : StackingOrder()) {
        const ControlLayout& entry = LayoutOf(which);
        const wchar_t* windowClass = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        switch (entry.kind) {
            case ControlKind::Label:
                // Device strings are shown as they are: an '&' is no mnemonic.
                style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
                break;
            case ControlKind::Frame:
                windowClass = L"BUTTON";
                style |= BS_GROUPBOX;
                break;
            case ControlKind::PictureBox:
                style |= SS_OWNERDRAW;
                break;
            case ControlKind::CommandButton:
                windowClass = L"BUTTON";
                style |= BS_PUSHBUTTON | WS_TABSTOP;
                break;
        }
        // Every control is a child of the window itself, a frame's controls placed over
        // the frame: a group box passes on none of its children's notifications.
        controls_[Index(entry.control)] = CreateWindowExW(
            0, windowClass, Utf16(entry.caption).c_str(), style, 0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(entry.control))), instance,
            nullptr);
        SetWindowPos(control(which), above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = control(which);
        widths_[Index(entry.control)] = static_cast<float>(entry.width);
    }
}

void Win32Window::ApplyDpi(unsigned dpi) {
    dpi_ = dpi;
    UpdateFont();
    UpdateIcons();
    for (const ControlLayout& entry : WindowLayout()) {
        PlaceControl(entry.control);
    }
}

void Win32Window::PlaceControl(Control which) {
    const ControlLayout& entry = LayoutOf(which);
    const POINT at = TwipsInWindow(entry);
    SetWindowPos(control(which), nullptr, Pixels(at.x), Pixels(at.y),
                 std::max(0, Pixels(widths_[Index(which)])), Pixels(entry.height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// The system's message font at the window's DPI.
void Win32Window::UpdateFont() {
    HFONT font = CreateMessageFont(dpi_);
    for (HWND child : controls_) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    DeleteObject(font_);
    font_ = font;
}

void Win32Window::UpdateIcons() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    auto load = [&](int metric) {
        const int size = MetricForDpi(metric, dpi_);
        return static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(VELT_ICON_ID), IMAGE_ICON, size, size, 0));
    };
    HICON big = load(SM_CXICON);
    HICON small = load(SM_CXSMICON);
    if (big == nullptr || small == nullptr) {
        DestroyIcon(big);
        DestroyIcon(small);
        return;  // a program without the icon resource keeps the class's
    }
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    DestroyIcon(bigIcon_);
    DestroyIcon(smallIcon_);
    bigIcon_ = big;
    smallIcon_ = small;
}

void Win32Window::CentreOnMonitor() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        return;
    }
    RECT frame{};
    GetWindowRect(window_, &frame);
    const RECT& work = monitor.rcWork;
    const int x = work.left + ((work.right - work.left) - (frame.right - frame.left)) / 2;
    const int y = work.top + ((work.bottom - work.top) - (frame.bottom - frame.top)) / 2;
    SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::After(unsigned milliseconds, std::function<void()> action) {
    SetTimer(window_, delayed_.Add(std::move(action)), milliseconds, nullptr);
}

bool Win32Window::SaveClientArea(const std::string& path) const {
    return velt::SaveClientArea(window_, path);
}

void Win32Window::SetCaption(Control which, const std::string& text) {
    SetWindowTextW(control(which), Utf16(text).c_str());
}

void Win32Window::SetEnabled(Control which, bool enabled) {
    EnableWindow(control(which), enabled ? TRUE : FALSE);
}

void Win32Window::SetVisible(Control which, bool visible) {
    ::ShowWindow(control(which), visible ? SW_SHOWNA : SW_HIDE);
    // A bar that appears gets its width next; until then it would show the old one.
    if (which == Control::Pic && !visible) {
        ShowTaskbarProgress();
    }
}

float Win32Window::GetWidth(Control which) {
    return widths_[Index(which)];
}

void Win32Window::SetWidth(Control which, float twips) {
    widths_[Index(which)] = twips;
    PlaceControl(which);
    if (which == Control::Pic) {
        ShowTaskbarProgress();
    }
}

void Win32Window::Refresh(Control which) {
    InvalidateRect(control(which), nullptr, TRUE);
    // Also what the control uncovered when it shrank: that belongs to the controls below.
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32Window::SetWindowTitle(const std::string& text) {
    SetWindowTextW(window_, Utf16(text).c_str());
}

void Win32Window::ShowWindow() {
    if (unloaded_ || IsWindowVisible(window_)) {
        return;
    }
    if (!shownBefore_) {
        shownBefore_ = true;
        CentreOnMonitor();
        // The first show honours how the program was started (a shortcut's "Minimised").
        ::ShowWindow(window_, SW_SHOWDEFAULT);
    } else {
        ::ShowWindow(window_, SW_SHOW);
    }
    UpdateWindow(window_);
}

void Win32Window::MessageBox(const std::string& text, const std::string& title, int style) {
    if (messageBoxObserver_) {
        messageBoxObserver_(title, text);
    }
    // The window styles are the message box flags: 16 is MB_ICONSTOP | MB_OK.
    const bool owned = IsWindowVisible(window_) != FALSE;
    MessageBoxW(owned ? window_ : nullptr, Utf16(text).c_str(), Utf16(title).c_str(),
                static_cast<UINT>(style) | (owned ? 0 : MB_TASKMODAL));
}

void Win32Window::Dispatch(MSG& message) {
    DispatchToWindow(window_, message);
}

void Win32Window::DoEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the loop that owns the program's end.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

void Win32Window::StartTimer(std::uint32_t intervalMs) {
    SetTimer(window_, kDeviceTimer, intervalMs, nullptr);
}

void Win32Window::Unload(int exitStatus) {
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    exitStatus_ = exitStatus;
    KillTimer(window_, kDeviceTimer);
    if (events_ != nullptr) {
        events_->Form_Unload();
    }
    ShowTaskbarProgress();
    ::ShowWindow(window_, SW_HIDE);
    // The loop ends when control is back in it, after the handler that unloaded (and any
    // message box it still has open) returns; the window is destroyed after that.
    if (loopRunning_) {
        PostMessageW(window_, kWakeMessage, 0, 0);
    }
}

// The taskbar button mirrors the bar: its width over the trough's.
void Win32Window::ShowTaskbarProgress() {
    const HWND bar = control(Control::Pic);
    const double width = widths_[Index(Control::Pic)];
    const bool show = !unloaded_ && (GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE) != 0 && width > 0;
    if (!show && !taskbarShowing_) {
        return;
    }
    if (!taskbarTried_ && comReady_) {
        taskbarTried_ = true;
        ITaskbarList3* list = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ITaskbarList3, reinterpret_cast<void**>(&list)))) {
            if (SUCCEEDED(list->HrInit())) {
                taskbar_ = list;
            } else {
                list->Release();
            }
        }
    }
    taskbarShowing_ = show;
    if (taskbar_ == nullptr) {
        return;
    }
    if (show) {
        const double trough = widths_[Index(Control::Picture1)];
        taskbar_->SetProgressValue(window_,
                                   static_cast<ULONGLONG>(std::lround(std::min(width, trough))),
                                   static_cast<ULONGLONG>(std::lround(trough)));
    } else {
        taskbar_->SetProgressState(window_, TBPF_NOPROGRESS);
    }
}

LRESULT Win32WindowProcedure::Handle(Win32Window& window, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            // Only a request: the logic decides when the window unloads.
            if (window.events_ != nullptr && !window.unloaded_) {
                window.events_->Form_CloseRequest();
            }
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED &&
                window.events_ != nullptr && !window.unloaded_ &&
                IsWindowEnabled(window.control(Control::btnUpgradeFW))) {
                window.events_->btnUpgradeFW_Click();
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE &&
                IsWindowEnabled(window.control(Control::btnUpgradeFW))) {
                SetFocus(window.control(Control::btnUpgradeFW));
                return 0;
            }
            break;
        case WM_TIMER:
            if (wParam != kDeviceTimer) {
                KillTimer(window.window_, wParam);
                window.delayed_.Run(wParam);
            } else if (window.events_ != nullptr && !window.unloaded_) {
                window.events_->tmrDevices_Timer();
            }
            return 0;
        case WM_CTLCOLORSTATIC: {
            const HWND child = reinterpret_cast<HWND>(lParam);
            HDC dc = reinterpret_cast<HDC>(wParam);
            bool value = false;
            for (const ControlLayout& entry : WindowLayout()) {
                value = value ||
                        (window.control(entry.control) == child && IsValueLabel(entry.control));
            }
            const int background = value ? COLOR_WINDOW : COLOR_BTNFACE;
            SetTextColor(dc, GetSysColor(value ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
            SetBkColor(dc, GetSysColor(background));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            const int line = std::max(1, static_cast<int>(window.dpi_ / 96));
            if (item->hwndItem == window.control(Control::Pic)) {
                HBRUSH fill = CreateSolidBrush(kBarColour);
                FillRect(item->hDC, &item->rcItem, fill);
                DeleteObject(fill);
                const COLORREF edge = GetSysColor(COLOR_WINDOWTEXT);
                DrawBorder(item->hDC, item->rcItem, line, edge, edge);
            } else if (item->hwndItem == window.control(Control::Picture1)) {
                FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
                DrawBorder(item->hDC, item->rcItem, line, GetSysColor(COLOR_BTNSHADOW),
                           GetSysColor(COLOR_BTNHIGHLIGHT));
            }
            return TRUE;
        }
        case WM_DPICHANGED: {
            window.ApplyDpi(HIWORD(wParam));
            // The suggested rectangle scales the old size; the exact one comes from twips.
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            const RECT frame = FrameForClient(window.Pixels(kClientWidthTwips),
                                              window.Pixels(kClientHeightTwips), window.dpi_);
            SetWindowPos(window.window_, nullptr, suggested->left, suggested->top,
                         frame.right - frame.left, frame.bottom - frame.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case kActivateMessage:
            if (window.events_ != nullptr && !window.unloaded_) {
                window.events_->Form_Activate();
            }
            return 0;
        case kWakeMessage:
            return 0;
        default:
            if (message == window.taskbarButtonCreated_ && window.taskbarButtonCreated_ != 0) {
                // A new taskbar button (the shell restarted): start again with a new list.
                if (window.taskbar_ != nullptr) {
                    window.taskbar_->Release();
                    window.taskbar_ = nullptr;
                }
                window.taskbarTried_ = false;
                if (window.taskbarShowing_) {
                    window.ShowTaskbarProgress();
                }
                return 0;
            }
            break;
    }
    return DefWindowProcW(window.window_, message, wParam, lParam);
}

int RunWindow(Win32Window& window, WindowEvents& events) {
    window.SetEvents(&events);
    events.Form_Load();
    int status = 0;
    if (!window.unloaded()) {
        // The logic leaves the window hidden when it has nothing to show yet.
        window.ShowWindow();
        // Form_Activate may open a box at once: the window's showing is finished first (drawn,
        // the system's messages about it handled), so the box comes up over a settled owner.
        window.DoEvents();
        PostMessageW(window.window(), kActivateMessage, 0, 0);
        window.loopRunning_ = true;
        MSG message;
        while (!window.unloaded()) {
            const BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0 || got == -1) {
                status = got == 0 ? static_cast<int>(message.wParam) : 1;
                break;
            }
            window.Dispatch(message);
        }
        window.loopRunning_ = false;
    }
    events.Form_Terminate();
    return window.unloaded() ? window.exitStatus() : status;
}

}  // namespace velt
