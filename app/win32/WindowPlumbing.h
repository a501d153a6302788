#pragma once

#include <windows.h>

#include <string>

namespace velt {

// What every top-level window of the programs does the same way.

// Registers the window class `className` with `procedure`, the program's icon and the
// dialog face colour (a second registration fails harmlessly), then creates a window of it
// at the default place and size; `owner` reaches the procedure in WM_NCCREATE's
// CREATESTRUCTW. Returns the window, or null.
HWND CreateTopWindow(const wchar_t* className, WNDPROC procedure, const std::string& title,
                     DWORD style, DWORD exStyle, void* owner);

// Hands one message on: only keys get the dialog's handling (Tab, Enter); the rest goes
// straight to its window, so that a handler's message box runs inside no other call.
void DispatchToWindow(HWND window, MSG& message);

}  // namespace velt
