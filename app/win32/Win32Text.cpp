#include "app/win32/Win32Text.h"

#include <windows.h>

namespace velt {

std::string ProgramFolder() {
    // MAX_PATH is no limit for a program started from a long path: grow until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return ".";
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    return Utf8(slash == std::wstring::npos ? L"." : std::wstring_view(path).substr(0, slash));
}

}  // namespace velt
