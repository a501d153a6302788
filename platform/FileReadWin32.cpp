#include <windows.h>

#include <string>

#include "platform/FileRead.h"
#include "platform/WindowsText.h"

namespace velt {

namespace {

FileRead Failed(DWORD error) {
    FileRead read;
    read.status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                      ? FileRead::Status::Missing
                  : error == ERROR_ACCESS_DENIED ? FileRead::Status::Denied
                                                 : FileRead::Status::Error;
    read.error = SystemMessage(error);
    return read;
}

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::uint64_t limit) {
    // Shared for reading and writing, so an editor holding the file open does not make it
    // unreadable; what is read is checked and held from then on.
    const HANDLE file = CreateFileW(Utf16(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Failed(GetLastError());
    }
    FileRead read;
    BY_HANDLE_FILE_INFORMATION info{};
    // Asked of the open handle: a folder, a pipe or a device is refused, not waited for.
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(file);
        read.status = FileRead::Status::NotRegular;
        return read;
    }
    read.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (read.size > limit) {
        CloseHandle(file);
        read.status = FileRead::Status::TooLarge;
        return read;
    }
    DWORD error = 0;
    const bool readOk = ReadContent(read, limit, [&](std::uint8_t* buffer, std::size_t room) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, static_cast<DWORD>(room), &n, nullptr)) {
            error = GetLastError();
            return std::optional<std::size_t>();
        }
        return std::optional<std::size_t>(n);
    });
    CloseHandle(file);
    if (!readOk) {
        return Failed(error);
    }
    return read;  // moved, not copied: it may hold a whole image
}

}  // namespace velt
