#include <windows.h>

#include "platform/AppendFile.h"
#include "platform/WindowsText.h"

namespace velt {

std::string AppendLineDurably(const std::string& path, std::string_view line) {
    // Append access alone: every write goes to the end of the file as it then is, whoever
    // else appends. Reading is for the last byte only.
    const HANDLE file = CreateFileW(
        Utf16(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return SystemMessage(GetLastError());
    }
    // NUL takes lines and keeps nothing; a pipe would hold a writer for a reader that may
    // never come.
    if (const DWORD type = GetFileType(file); type != FILE_TYPE_DISK) {
        DWORD written = 0;
        const bool ok =
            type == FILE_TYPE_CHAR &&
            WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
            written == line.size();
        const DWORD failure = GetLastError();
        CloseHandle(file);
        return ok                       ? std::string()
               : type == FILE_TYPE_CHAR ? SystemMessage(failure)
                                        : std::string("not a regular file");
    }
    // Every appender also holds a lock on one byte far past any record's end while it looks
    // at the last byte and writes: wine's append access is not atomic between handles, and
    // the lock keeps a line whole there too without keeping readers out.
    OVERLAPPED lockAt{};
    lockAt.OffsetHigh = 0x40000000;
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt)) {
        const DWORD failure = GetLastError();
        CloseHandle(file);
        return SystemMessage(failure);
    }
    bool cutOff = false;
    LARGE_INTEGER size{};
    const bool sized = GetFileSizeEx(file, &size) != 0;
    if (sized && size.QuadPart > 0) {
        OVERLAPPED at{};
        const auto lastByte = static_cast<ULONGLONG>(size.QuadPart - 1);
        at.Offset = static_cast<DWORD>(lastByte);
        at.OffsetHigh = static_cast<DWORD>(lastByte >> 32);
        char last = '\n';
        DWORD got = 0;
        cutOff = ReadFile(file, &last, 1, &got, &at) && got == 1 && last != '\n';
    }
    std::string text(cutOff ? 1 : 0, '\n');
    text.append(line);
    std::string error;
    DWORD written = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        error = SystemMessage(GetLastError());
    } else if (written != text.size()) {
        error = SystemMessage(ERROR_DISK_FULL);
    }
    if (error.empty() && !FlushFileBuffers(file)) {
        error = SystemMessage(GetLastError());
    }
    if (sized && written != 0 && written != text.size()) {
        // Never half a line: append access cannot cut the file, a second handle can.
        const HANDLE cut =
            CreateFileW(Utf16(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool cutBack = cut != INVALID_HANDLE_VALUE &&
                             SetFilePointerEx(cut, size, nullptr, FILE_BEGIN) && SetEndOfFile(cut);
        if (cut != INVALID_HANDLE_VALUE) {
            CloseHandle(cut);
        }
        if (!cutBack) {
            error += "; a cut-off line is left at its end";
        }
    }
    UnlockFileEx(file, 0, 1, 0, &lockAt);
    CloseHandle(file);
    return error;
}

}  // namespace velt
