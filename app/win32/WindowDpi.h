#pragma once

// Kept out of <windows.h>, whose MessageBox macro would rename the window systems' calls.
struct HWND__;
struct HFONT__;

namespace velt {

// The screen's DPI as the system reports it to this program.
unsigned SystemDpi();

// The DPI of the monitor the window is on: GetDpiForWindow where the system has it (from
// Windows 10 1607 on), else the screen's LOGPIXELSY.
unsigned WindowDpi(HWND__* window);

// GetSystemMetrics(index) at `dpi`.
int MetricForDpi(int index, unsigned dpi);

// The width and height of the window frame around a client area of `width` x `height`
// pixels at `dpi`, for a window of these styles.
void FrameSizeForClient(int width, int height, unsigned long style, unsigned long exStyle,
                        unsigned dpi, int& frameWidth, int& frameHeight);

// The system's message font at `dpi`; the caller deletes it.
HFONT__* CreateMessageFont(unsigned dpi);

}  // namespace velt
