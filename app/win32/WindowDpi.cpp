#include "app/win32/WindowDpi.h"

#include <windows.h>

namespace velt {

namespace {

// Looked up at run time: the DPI calls exist from Windows 10 1607 on, and a program that
// imported them would not start on older systems.
template <typename Function>
Function UserFunction(const char* name) {
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

}  // namespace

unsigned SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<unsigned>(dpi) : 96;
}

unsigned WindowDpi(HWND window) {
    static const auto getDpi = UserFunction<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (getDpi != nullptr) {
        if (const UINT dpi = getDpi(window); dpi != 0) {
            return dpi;
        }
    }
    return SystemDpi();
}

int MetricForDpi(int index, unsigned dpi) {
    static const auto forDpi = UserFunction<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    if (forDpi != nullptr) {
        return forDpi(index, dpi);
    }
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

void FrameSizeForClient(int width, int height, unsigned long style, unsigned long exStyle,
                        unsigned dpi, int& frameWidth, int& frameHeight) {
    static const auto adjust =
        UserFunction<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, width, height};
    if (adjust != nullptr) {
        adjust(&frame, style, FALSE, exStyle, dpi);
    } else {
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    frameWidth = frame.right - frame.left;
    frameHeight = frame.bottom - frame.top;
}

HFONT CreateMessageFont(unsigned dpi) {
    static const auto forDpi =
        UserFunction<BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT)>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi != nullptr) {
        forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
    } else if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        metrics.lfMessageFont.lfHeight = MulDiv(
            metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    }
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

}  // namespace velt
