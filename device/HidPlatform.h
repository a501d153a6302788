#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velt {

// An open device handle as the platform hands it out. Backends choose the values; the
// logic only compares against kInvalidHandle.
using HidHandle = std::intptr_t;
inline constexpr HidHandle kInvalidHandle = -1;

// The attribute record of one HID interface (Size is set to 12 before a read, as the
// attribute query expects).
struct HiddAttributes {
    std::uint32_t Size = 0;
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

// The capability record of one HID interface. Only FeatureReportByteLength is used
// outside discovery; the rest is filled where the platform knows it.
struct HidpCaps {
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;
    std::uint16_t NumberInputValueCaps = 0;
};

// The three identity strings a HID interface can be asked for.
enum class HidString { Manufacturer, Product, SerialNumber };

// Why an open failed, so that a present device the user may not open is not silently
// ignored.
enum class OpenError { None, PermissionDenied, Busy, NotFound, Other };

// One search's view of the present HID interfaces: a snapshot taken when the search
// starts and released when it ends.
class HidInterfaceList {
  public:
    virtual ~HidInterfaceList() = default;
    // The path of the interface at `memberIndex` (0-based, stable order); false once the
    // index is past the last interface or the enumeration fails there.
    virtual bool Interface(std::uint32_t memberIndex, std::string& path) = 0;
};

// A list fixed when it is made, as most backends hand it out.
class SnapshotInterfaceList final : public HidInterfaceList {
  public:
    explicit SnapshotInterfaceList(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    bool Interface(std::uint32_t memberIndex, std::string& path) override {
        if (memberIndex >= paths_.size()) {
            return false;
        }
        path = paths_[memberIndex];
        return true;
    }

  private:
    std::vector<std::string> paths_;
};

// "Manufacturer", "Product", "SerialNumber": for logs.
inline const char* HidStringName(HidString which) {
    switch (which) {
        case HidString::Manufacturer:
            return "Manufacturer";
        case HidString::Product:
            return "Product";
        case HidString::SerialNumber:
            break;
    }
    return "SerialNumber";
}

// The operations the device logic needs of the operating system's HID stack. Every
// call is synchronous and made on the user-interface thread.
class HidPlatform {
  public:
    virtual ~HidPlatform() = default;

    // A snapshot of the present HID interfaces.
    virtual std::unique_ptr<HidInterfaceList> ListInterfaces() = 0;

    // Opens the interface for reading and writing. `overlapped` asks for the second,
    // query-only handle. Returns kInvalidHandle on failure; LastOpenError() says why.
    virtual HidHandle Open(const std::string& path, bool overlapped) = 0;
    virtual OpenError LastOpenError() const = 0;
    // True when the platform can tell an interface's product ID without opening it.
    virtual bool PeekProductId(const std::string& path, std::uint16_t& productId) = 0;

    virtual bool Close(HidHandle handle) = 0;

    // Fills VendorID, ProductID and VersionNumber; true on success.
    virtual bool GetAttributes(HidHandle handle, HiddAttributes& attributes) = 0;
    // Fills the capability record; true on success.
    virtual bool GetCaps(HidHandle handle, HidpCaps& caps) = 0;
    // Writes a NUL-terminated UTF-16LE string into at most `byteLength` bytes of
    // `buffer`; true on success.
    virtual bool GetString(HidHandle handle, HidString which, std::uint8_t* buffer,
                           std::size_t byteLength) = 0;
    // Sends one feature report: byte 0 is the report ID, `length` bytes in all. True
    // when the device accepted it.
    virtual bool SetFeature(HidHandle handle, const std::uint8_t* report, std::size_t length) = 0;

    // Pauses the calling thread.
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

inline constexpr std::uint16_t applicationProductId = 0x2442;
inline constexpr std::uint16_t bootloaderProductId = 0xB038;

}  // namespace velt
