#include "device/windows/HidCalls.h"

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <cfgmgr32.h>
#include <devpropdef.h>
#include <setupapi.h>
// mingw-w64 declares the HID calls without C linkage; hidsdi.h brings hidpi.h.
extern "C" {
#include <hidsdi.h>
}

#include <type_traits>

#include "platform/WindowsText.h"

namespace velt::windows {

static_assert(std::is_same_v<Handle, HANDLE> && std::is_same_v<ErrorCode, DWORD>);
static_assert(std::is_same_v<Node, DEVINST>);
static_assert(sizeof(char16_t) == sizeof(wchar_t));

namespace {

// GetLastError() after a failed call; a failure that set no code must still read as one.
ErrorCode LastError() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_FUNCTION_FAILED;
}

// The configuration manager's answers as GetLastError() codes.
ErrorCode FromConfigRet(CONFIGRET result) {
    switch (result) {
        case CR_SUCCESS:
            return ERROR_SUCCESS;
        case CR_NO_SUCH_DEVNODE:
        case CR_NO_SUCH_VALUE:
        case CR_NO_SUCH_REGISTRY_KEY:
            return ERROR_NOT_FOUND;
        case CR_OUT_OF_MEMORY:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_GEN_FAILURE;
    }
}

// DEVPKEY_Device_LocationPaths, here rather than from devpkey.h, which defines its keys only
// in the one file that includes initguid.h first.
constexpr DEVPROPKEY kLocationPaths = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 37};

// A string property of a node, read by `read(buffer, size in bytes)`, which tells the size
// it needs when the buffer is too small.
template <typename Read>
ErrorCode ReadNodeString(Read&& read, std::string& text) {
    std::vector<wchar_t> buffer(256);
    ULONG size = static_cast<ULONG>(buffer.size() * sizeof(wchar_t));
    CONFIGRET result = read(buffer.data(), &size);
    if (result == CR_BUFFER_SMALL) {
        buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<ULONG>(buffer.size() * sizeof(wchar_t));
        result = read(buffer.data(), &size);
    }
    if (result != CR_SUCCESS) {
        return FromConfigRet(result);
    }
    buffer.back() = L'\0';  // a list ends at its first string
    text = Utf8(buffer.data());
    return text.empty() ? ERROR_NOT_FOUND : ERROR_SUCCESS;
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

ErrorCode SystemHidCalls::InterfaceNode(const std::string& path, Node& node) {
    const HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof entry;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    // Opening the interface adds its device to the empty set, as the set's first.
    ErrorCode error = ERROR_SUCCESS;
    if (SetupDiOpenDeviceInterfaceA(set, path.c_str(), 0, &entry) &&
        SetupDiEnumDeviceInfo(set, 0, &device)) {
        node = device.DevInst;
    } else {
        error = LastError();
    }
    SetupDiDestroyDeviceInfoList(set);
    return error;
}

ErrorCode SystemHidCalls::ParentNode(Node node, Node& parent) {
    return FromConfigRet(CM_Get_Parent(&parent, node, 0));
}

ErrorCode SystemHidCalls::GetNodeText(Node node, NodeText which, std::string& text) {
    return ReadNodeString(
        [&](wchar_t* buffer, ULONG* size) -> CONFIGRET {
            DEVPROPTYPE type = 0;
            ULONG registryType = 0;
            switch (which) {
                case NodeText::InstanceId:
                    return CM_Get_Device_IDW(node, buffer, *size / sizeof(wchar_t), 0);
                case NodeText::LocationPath:
                    return CM_Get_DevNode_PropertyW(node, &kLocationPaths, &type,
                                                    reinterpret_cast<BYTE*>(buffer), size, 0);
                case NodeText::LocationInfo:
                    return CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_LOCATION_INFORMATION,
                                                             &registryType, buffer, size, 0);
            }
            return CR_INVALID_DATA;
        },
        text);
}

}  // namespace velt::windows
