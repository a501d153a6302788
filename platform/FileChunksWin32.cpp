#include <windows.h>

#include <algorithm>

#include "platform/FileChunks.h"
#include "platform/WindowsText.h"

namespace velt {

FileChunks::FileChunks(const std::string& path) {
    // Shared for reading, writing and deleting, so that the processes appending to a
    // record and a reader never keep each other out.
    const HANDLE file = CreateFileW(Utf16(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Fail(GetLastError());
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    // Asked of the open handle: a folder or a pipe is refused, not waited for.
    const DWORD type = GetFileType(file);
    BY_HANDLE_FILE_INFORMATION info{};
    if (type == FILE_TYPE_CHAR) {
        status_ = Status::CharacterDevice;
    } else if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
               (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        status_ = Status::NotRegular;
    } else {
        status_ = Status::Regular;
        size_ = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    }
}

FileChunks::~FileChunks() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

void FileChunks::Fail(unsigned long systemError) {
    status_ = systemError == ERROR_FILE_NOT_FOUND || systemError == ERROR_PATH_NOT_FOUND
                  ? Status::Missing
              : systemError == ERROR_ACCESS_DENIED ? Status::Denied
                                                   : Status::Error;
    error_ = SystemMessage(systemError);
}

std::optional<std::size_t> FileChunks::ReadAt(std::uint64_t offset, std::uint8_t* buffer,
                                              std::size_t room) {
    if (status_ != Status::Regular) {
        return status_ == Status::CharacterDevice ? std::optional<std::size_t>(0) : std::nullopt;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD most = static_cast<DWORD>(std::min<std::size_t>(room, 1u << 30));
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, most, &got, &at)) {
        const DWORD error = GetLastError();
        if (error == ERROR_HANDLE_EOF) {
            return 0;
        }
        Fail(error);
        return std::nullopt;
    }
    return static_cast<std::size_t>(got);
}

}  // namespace velt
