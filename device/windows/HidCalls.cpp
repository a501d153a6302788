#include "device/windows/HidCalls.h"

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <setupapi.h>
// mingw-w64 declares the HID calls without C linkage; hidsdi.h brings hidpi.h.
extern "C" {
#include <hidsdi.h>
}

#include <type_traits>

namespace velt::windows {

static_assert(std::is_same_v<Handle, HANDLE> && std::is_same_v<ErrorCode, DWORD>);
static_assert(sizeof(char16_t) == sizeof(wchar_t));

namespace {

// GetLastError() after a failed call; a failure that set no code must still read as one.
ErrorCode LastError() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_FUNCTION_FAILED;
}

}  // namespace

ErrorCode SystemHidCalls::ListPaths(std::vector<std::string>& paths) {
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    const HDEVINFO set =
        SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof entry;
    // The indices run from 0 without gaps; the first failure (ERROR_NO_MORE_ITEMS) ends them.
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, index, &entry);
         ++index) {
        DWORD size = 0;
        // Without a buffer the call fails and tells the size the detail needs.
        SetupDiGetDeviceInterfaceDetailA(set, &entry, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
            continue;  // it left between the two calls
        }
        // The path runs past the end of the struct; DWORDs keep the struct aligned.
        std::vector<DWORD> storage((size + sizeof(DWORD) - 1) / sizeof(DWORD));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
        // The size of the fixed part (5 bytes on 32-bit Windows), not of the buffer.
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (SetupDiGetDeviceInterfaceDetailA(set, &entry, detail, size, nullptr, nullptr)) {
            paths.emplace_back(detail->DevicePath);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return ERROR_SUCCESS;
}

ErrorCode SystemHidCalls::OpenPath(const std::string& path, bool overlapped, Handle& handle) {
    const HANDLE opened =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    handle = opened;
    return ERROR_SUCCESS;
}

ErrorCode SystemHidCalls::GetAttributes(Handle handle, Attributes& attributes) {
    HIDD_ATTRIBUTES hid{};
    hid.Size = sizeof hid;
    if (!HidD_GetAttributes(handle, &hid)) {
        return LastError();
    }
    attributes = {hid.VendorID, hid.ProductID, hid.VersionNumber};
    return ERROR_SUCCESS;
}

ErrorCode SystemHidCalls::GetFeatureLength(Handle handle, std::uint16_t& length) {
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(handle, &preparsed)) {
        return LastError();
    }
    HIDP_CAPS caps{};
    const NTSTATUS status = HidP_GetCaps(preparsed, &caps);
    HidD_FreePreparsedData(preparsed);
    if (status != HIDP_STATUS_SUCCESS) {
        return ERROR_INVALID_DATA;  // the HidP_ calls return a status and set no last error
    }
    length = caps.FeatureReportByteLength;
    return ERROR_SUCCESS;
}

ErrorCode SystemHidCalls::GetString(Handle handle, HidString which, std::span<char16_t> buffer) {
    const auto query = which == HidString::Manufacturer ? HidD_GetManufacturerString
                       : which == HidString::Product    ? HidD_GetProductString
                                                        : HidD_GetSerialNumberString;
    if (!query(handle, buffer.data(), static_cast<ULONG>(buffer.size_bytes()))) {
        return LastError();
    }
    return ERROR_SUCCESS;
}

ErrorCode SystemHidCalls::SetFeature(Handle handle, std::span<std::uint8_t> report) {
    if (!HidD_SetFeature(handle, report.data(), static_cast<ULONG>(report.size()))) {
        return LastError();
    }
    return ERROR_SUCCESS;
}

void SystemHidCalls::Close(Handle handle) {
    CloseHandle(handle);
}

}  // namespace velt::windows
