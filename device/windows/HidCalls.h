#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/HidDevice.h"

// Private to the Windows backend and its tests; the rest of the program sees HidBackend.

namespace velt::windows {

// A HANDLE from CreateFileA.
using Handle = void*;
// A GetLastError() code (a DWORD); 0 (ERROR_SUCCESS) means the call succeeded.
using ErrorCode = unsigned long;
// A DEVINST: a device node of the configuration manager's tree.
using Node = unsigned long;

// What GetNodeText reads of a device node.
enum class NodeText {
    InstanceId,    // such as USB\VID_1209&PID_2442\VA-0001
    LocationPath,  // the first of DEVPKEY_Device_LocationPaths:
                   // PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)
    LocationInfo,  // SPDRP_LOCATION_INFORMATION: Port_#0003.Hub_#0001
};

// HIDD_ATTRIBUTES.
struct Attributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t version = 0;
};

// The Windows calls the HID backend makes, behind an interface so that tests can stand a
// fake in for the system. Every call but Close returns the GetLastError() code of its
// failure, or 0.
class HidCalls {
  public:
    virtual ~HidCalls() = default;

    // The device interface paths of the present HID class interfaces (SetupAPI), in the
    // system's index order. An interface whose path cannot be read is left out.
    virtual ErrorCode ListPaths(std::vector<std::string>& paths) = 0;
    // CreateFileA for reading and writing, shared both ways; with FILE_FLAG_OVERLAPPED
    // when `overlapped`.
    virtual ErrorCode OpenPath(const std::string& path, bool overlapped, Handle& handle) = 0;
    // HidD_GetAttributes.
    virtual ErrorCode GetAttributes(Handle handle, Attributes& attributes) = 0;
    // FeatureReportByteLength of the capabilities (HidD_GetPreparsedData, HidP_GetCaps).
    virtual ErrorCode GetFeatureLength(Handle handle, std::uint16_t& length) = 0;
    // HidD_Get{Manufacturer,Product,SerialNumber}String into `buffer`, whose size in bytes
    // is passed. The stack leaves out the terminating NUL when the string fills the buffer.
    virtual ErrorCode GetString(Handle handle, HidString which, std::span<char16_t> buffer) = 0;
    // HidD_SetFeature with the whole of `report`.
    virtual ErrorCode SetFeature(Handle handle, std::span<std::uint8_t> report) = 0;
    // CloseHandle.
    virtual void Close(Handle handle) = 0;

    // The device node an interface path belongs to (SetupDiOpenDeviceInterfaceA).
    virtual ErrorCode InterfaceNode(const std::string& path, Node& node) = 0;
    // CM_Get_Parent: the root has none (ERROR_NOT_FOUND).
    virtual ErrorCode ParentNode(Node node, Node& parent) = 0;
    // A text of the node, or ERROR_NOT_FOUND when the node has none.
    virtual ErrorCode GetNodeText(Node node, NodeText which, std::string& text) = 0;
};

// The real calls: setupapi.dll and hid.dll.
class SystemHidCalls final : public HidCalls {
  public:
    ErrorCode ListPaths(std::vector<std::string>& paths) override;
    ErrorCode OpenPath(const std::string& path, bool overlapped, Handle& handle) override;
    ErrorCode GetAttributes(Handle handle, Attributes& attributes) override;
    ErrorCode GetFeatureLength(Handle handle, std::uint16_t& length) override;
    ErrorCode GetString(Handle handle, HidString which, std::span<char16_t> buffer) override;
    ErrorCode SetFeature(Handle handle, std::span<std::uint8_t> report) override;
    void Close(Handle handle) override;
    ErrorCode InterfaceNode(const std::string& path, Node& node) override;
    ErrorCode ParentNode(Node node, Node& parent) override;
    ErrorCode GetNodeText(Node node, NodeText which, std::string& text) override;
};

}  // namespace velt::windows
