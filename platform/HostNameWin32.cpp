#include <windows.h>

#include "platform/HostName.h"
#include "platform/WindowsText.h"

namespace velt {

std::string HostName() {
    wchar_t name[256] = {};
    DWORD size = 256;
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) {
        return {};
    }
    return Utf8(std::wstring_view(name, size));
}

}  // namespace velt
