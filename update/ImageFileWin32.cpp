#include <windows.h>

#include <string>

#include "update/ImageFile.h"

namespace velt {

namespace {

std::wstring Wide(const std::string& utf8) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

std::string Utf8(const wchar_t* text, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

FileRead Failed(DWORD error) {
    FileRead read;
    read.status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                      ? FileRead::Status::Missing
                  : error == ERROR_ACCESS_DENIED ? FileRead::Status::Denied
                                                 : FileRead::Status::Error;
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    read.error =
        length > 0 ? Utf8(text, static_cast<int>(length)) : "error " + std::to_string(error);
    LocalFree(text);
    // The system's sentences end in a full stop and a line break; the message adds its own.
    while (!read.error.empty() && (read.error.back() == '\n' || read.error.back() == '\r' ||
                                   read.error.back() == '.' || read.error.back() == ' ')) {
        read.error.pop_back();
    }
    return read;
}

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::uint64_t limit) {
    // Shared for reading and writing, so an editor holding the file open does not make it
    // unreadable; what is read is checked and held from then on.
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ,
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
