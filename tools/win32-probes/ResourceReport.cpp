// Prints what Windows reads from a program's resources, one "name=value" a line:
// FileVersion, ProductVersion, ProductName, OriginalFilename, LegalCopyright, the fixed version
// numbers, the icon's sizes and the manifest (as "manifest=" lines).
//   resource-report PROGRAM.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/win32/ResourceIds.h"
#include "platform/WindowsText.h"

namespace {

// The directory of a group icon resource as it is stored.
#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIconDirectory {
    WORD reserved, type, count;
    GroupIconEntry entries[1];
};
#pragma pack(pop)

std::string Resource(HMODULE module, LPCWSTR type, int id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) {
        return {};
    }
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(data, SizeofResource(module, found));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: resource-report PROGRAM.exe\n");
        return 2;
    }
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(argv[1], &ignored));
    if (info.empty() ||
        !GetFileVersionInfoW(argv[1], 0, static_cast<DWORD>(info.size()), info.data())) {
        std::fprintf(stderr, "no version information in the program\n");
        return 1;
    }
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"ProductName",
                                L"OriginalFilename", L"LegalCopyright"}) {
        wchar_t* value = nullptr;
        UINT length = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
            std::printf("%s=%s\n", velt::Utf8(name).c_str(), velt::Utf8(value).c_str());
        }
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)) {
        std::printf("FixedFileVersion=%u.%u.%u.%u\n", unsigned{HIWORD(fixed->dwFileVersionMS)},
                    unsigned{LOWORD(fixed->dwFileVersionMS)},
                    unsigned{HIWORD(fixed->dwFileVersionLS)},
                    unsigned{LOWORD(fixed->dwFileVersionLS)});
    }

    HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const std::string group = Resource(module, RT_GROUP_ICON, VELT_ICON_ID);
    std::printf("IconSizes=");
    if (group.size() >= 6) {
        const auto* directory = reinterpret_cast<const GroupIconDirectory*>(group.data());
        for (WORD i = 0; i < directory->count; ++i) {
            const BYTE width = directory->entries[i].width;
            std::printf("%s%d", i == 0 ? "" : " ", width == 0 ? 256 : width);
        }
    }
    std::printf("\n");
    const std::string manifest = Resource(module, RT_MANIFEST, 1);
    std::size_t start = 0;
    while (start < manifest.size()) {
        const std::size_t end = std::min(manifest.find('\n', start), manifest.size());
        std::printf("manifest=%s\n", manifest.substr(start, end - start).c_str());
        start = end + 1;
    }
    return 0;
}
