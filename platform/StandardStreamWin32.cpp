#include <windows.h>

#include "platform/StandardStream.h"
#include "platform/WindowsText.h"

namespace velt {

bool WriteStandard(StandardStream stream, std::string_view text) {
    const HANDLE handle =
        GetStdHandle(stream == StandardStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        // A console shows UTF-8 bytes in its own code page, which is seldom UTF-8: the wide
        // call shows every character.
        std::wstring wide = Utf16(text);
        std::wstring_view rest = wide;
        while (!rest.empty()) {
            DWORD written = 0;
            if (!WriteConsoleW(handle, rest.data(), static_cast<DWORD>(rest.size()), &written,
                               nullptr) ||
                written == 0) {
                return false;
            }
            rest.remove_prefix(written);
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
