#include <windows.h>

#include "platform/StandardStream.h"
#include "platform/WindowsText.h"

namespace velt {

namespace {

// A console shows UTF-8 bytes in its own code page, which is seldom UTF-8: the wide call
// shows every character. Lines are redrawn with the console's own calls, which every
// console obeys, where an escape code might be shown as text.
bool Carry(HANDLE console, const ConsoleStep& step) {
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    switch (step.kind) {
        case ConsoleStep::Kind::Show: {
            const std::wstring wide = Utf16(step.text);
            std::wstring_view rest = wide;
            while (!rest.empty()) {
                DWORD written = 0;
                if (!WriteConsoleW(console, rest.data(), static_cast<DWORD>(rest.size()), &written,
                                   nullptr) ||
                    written == 0) {
                    return false;
                }
                rest.remove_prefix(written);
            }
            return true;
        }
        case ConsoleStep::Kind::LinesUp:
            if (!GetConsoleScreenBufferInfo(console, &screen)) {
                return false;
            }
            screen.dwCursorPosition.X = 0;
            screen.dwCursorPosition.Y = static_cast<SHORT>(
                screen.dwCursorPosition.Y > step.lines ? screen.dwCursorPosition.Y - step.lines
                                                       : 0);
            return SetConsoleCursorPosition(console, screen.dwCursorPosition) != 0;
        case ConsoleStep::Kind::ClearBelow: {
            if (!GetConsoleScreenBufferInfo(console, &screen)) {
                return false;
            }
            const COORD from = screen.dwCursorPosition;
            const DWORD cells =
                static_cast<DWORD>(screen.dwSize.X) * static_cast<DWORD>(screen.dwSize.Y - from.Y) -
                static_cast<DWORD>(from.X);
            DWORD done = 0;
            return FillConsoleOutputCharacterW(console, L' ', cells, from, &done) &&
                   FillConsoleOutputAttribute(console, screen.wAttributes, cells, from, &done);
        }
    }
    return false;
}

}  // namespace

bool WriteStandard(StandardStream stream, std::string_view text) {
    const HANDLE handle =
        GetStdHandle(stream == StandardStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        for (const ConsoleStep& step : ConsoleSteps(text)) {
            if (!Carry(handle, step)) {
                return false;
            }
        }
        return true;
    }
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

}  // namespace velt
