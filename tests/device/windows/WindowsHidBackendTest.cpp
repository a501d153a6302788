#include "device/windows/WindowsHidBackend.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

namespace velt {
namespace {

using K = DeviceErrorKind;
using windows::ErrorCode;
using windows::Handle;

// The HID stack as the backend sees it: each path names one device.
struct FakeApi final : windows::HidCalls {
    struct Device {
        windows::Attributes attributes{0x1209, 0x2442, 0x0110};
        ErrorCode openError = 0, overlappedOpenError = 0, attributesError = 0, error = 0;
        int attributesLate = 0;  // HidD_GetAttributes answers this often before its error
        std::u16string text;     // every string
    };
    ErrorCode ListPaths(std::vector<std::string>& paths) override {
        paths = order;
        return 0;
    }
    ErrorCode OpenPath(const std::string& path, bool overlapped, Handle& handle) override {
        const Device& device = devices[path];
        const ErrorCode error = overlapped ? device.overlappedOpenError : device.openError;
        handle = reinterpret_cast<Handle>(++handles);
        if (error == 0) {
            open[handle] = {path, overlapped};
        }
        return error;
    }
    ErrorCode GetAttributes(Handle handle, windows::Attributes& attributes) override {
        attributes = Of(handle).attributes;
        if (Of(handle).attributesLate > 0) {
            --Of(handle).attributesLate;
            return 0;
        }
        return Of(handle).attributesError;
    }
    ErrorCode GetFeatureLength(Handle, std::uint16_t& length) override {
        length = 41;  // a report ID and a 40-byte record
        return 0;
    }
    // The text shows on the overlapped handle only, and without a NUL.
    ErrorCode GetString(Handle handle, HidString, std::span<char16_t> buffer) override {
        const std::u16string text = open.at(handle).second ? Of(handle).text : u"";
        std::copy_n(text.begin(), std::min(text.size(), buffer.size()), buffer.begin());
        return Of(handle).error;
    }
    ErrorCode SetFeature(Handle handle, std::span<std::uint8_t> report) override {
        sent.emplace_back(report.begin(), report.end());
        return Of(handle).error;
    }
    void Close(Handle handle) override { EXPECT_EQ(open.erase(handle), 1u) << "closed twice"; }

    Device& Of(Handle handle) { return devices[open.at(handle).first]; }

    std::vector<std::string> order{"#velt"};  // of the paths listed
    std::map<std::string, Device> devices;
    std::map<Handle, std::pair<std::string, bool>> open;  // -> path, overlapped
    std::uintptr_t handles = 0;
    std::vector<std::vector<std::uint8_t>> sent;  // to SetFeature
};

template <typename Call>
std::optional<std::pair<K, int>> Thrown(Call&& call) try {
    call();
    return std::nullopt;
} catch (const DeviceError& error) {
    return std::pair{error.kind(), error.systemCode()};
}

class WindowsHidBackendTest : public ::testing::Test {
  protected:
    FakeApi* api_ = new FakeApi;
    WindowsHidBackend backend_{std::unique_ptr<FakeApi>(api_)};
    FakeApi::Device& velt_ = api_->devices["#velt"];
};

TEST_F(WindowsHidBackendTest, ListsOpenablePathsInTheSystemsOrderAndClosesThem) {
    api_->order = {"#b", "#keyboard", "#a", "#leaving"};
    api_->devices["#b"].attributes = {0x1209, 0xB038, 0x0100};
    api_->devices["#keyboard"].openError = ERROR_ACCESS_DENIED;  // the system holds it
    api_->devices["#leaving"].attributesError = ERROR_DEVICE_NOT_CONNECTED;
    std::vector<std::tuple<std::string, int, int, int>> listed;
    for (const HidInterfaceInfo& i : backend_.ListInterfaces()) {
        listed.emplace_back(i.path, i.vendorId, i.productId, i.version);
    }
    EXPECT_EQ(listed,
              (decltype(listed){{"#b", 0x1209, 0xB038, 0x0100}, {"#a", 0x1209, 0x2442, 0x0110}}));
    EXPECT_TRUE(api_->open.empty());
}

TEST_F(WindowsHidBackendTest, OpenMapsErrorsAndWithoutTheOverlappedHandleOnlyStringsFail) {
    for (const auto& [error, kind] : {std::pair{ERROR_ACCESS_DENIED, K::PermissionDenied},
                                      {ERROR_SHARING_VIOLATION, K::Busy},
                                      {ERROR_FILE_NOT_FOUND, K::Disconnected}}) {
        velt_.openError = error;
        EXPECT_EQ(Thrown([&] { backend_.Open("#velt"); }), std::pair(kind, int(error)));
    }
    velt_.openError = 0;
    backend_.Open("#velt");
    EXPECT_TRUE(api_->open.empty());  // both handles, each once (the fake checks)
    velt_.overlappedOpenError = ERROR_ACCESS_DENIED;
    auto device = backend_.Open("#velt");
    EXPECT_EQ(Thrown([&] { device->GetString(HidString::Product); }),
              std::pair(K::PermissionDenied, int(ERROR_ACCESS_DENIED)));
    device.reset();
    EXPECT_TRUE(api_->open.empty());
}

TEST_F(WindowsHidBackendTest, SendPassesTheWholeReportAndTellsARefusalFromADeviceThatLeft) {
    const auto device = backend_.Open("#velt");
    std::vector<std::uint8_t> report(device->FeatureReportLength(), 0x5A);
    const auto send = [&](ErrorCode error, ErrorCode probe) {  // of HidD_GetAttributes after it
        velt_.error = error;
        velt_.attributesError = probe;
        return Thrown([&] { device->SendFeatureReport(report); });
    };
    EXPECT_EQ(send(0, 0), std::nullopt);
    EXPECT_EQ(send(ERROR_GEN_FAILURE, 0), std::pair(K::Refused, 31));  // a stall
    EXPECT_EQ(send(ERROR_GEN_FAILURE, ERROR_DEVICE_NOT_CONNECTED), std::pair(K::Disconnected, 31));
    EXPECT_EQ(send(ERROR_SEM_TIMEOUT, ERROR_GEN_FAILURE), std::pair(K::Io, 121));
    // Delete pending, and a stack that learns of the unplug only after the failed request.
    EXPECT_EQ(send(ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED), std::pair(K::Disconnected, 5));
    velt_.attributesLate = 3;
    EXPECT_EQ(send(ERROR_GEN_FAILURE, ERROR_DEVICE_NOT_CONNECTED), std::pair(K::Disconnected, 31));
    velt_.attributesLate = 11;
    EXPECT_EQ(send(ERROR_GEN_FAILURE, ERROR_DEVICE_NOT_CONNECTED), std::pair(K::Refused, 31));
    report.pop_back();
    EXPECT_EQ(send(0, 0), std::pair(K::NotSupported, int(ERROR_INVALID_PARAMETER)));
    EXPECT_EQ(api_->sent, decltype(api_->sent)(7, std::vector<std::uint8_t>(41, 0x5A)));
}

TEST_F(WindowsHidBackendTest, StringsAreFiftyUnitsDecodedToUtf8) {
    const auto device = backend_.Open("#velt");
    const auto get = [&](std::u16string units, ErrorCode error = 0) {
        velt_.text = std::move(units);
        velt_.error = error;
        return device->GetString(HidString::Manufacturer);
    };
    EXPECT_EQ(get(std::u16string(50, u'Z') + u"cut"), std::string(50, 'Z'));
    EXPECT_EQ(get(u"Вельт"), "Вельт");  // in the buffer the long one filled
    EXPECT_EQ(get(u"V\xD800x"), "V\uFFFDx");
    EXPECT_EQ(Thrown([&] { get(u"", ERROR_INVALID_PARAMETER); }), std::pair(K::NotSupported, 87));
}

TEST(SystemHidCallsTest, ListsUnderTheSystemAndAMissingPathIsDisconnected) {
    WindowsHidBackend real;
    EXPECT_NO_THROW(real.ListInterfaces());
    EXPECT_EQ(Thrown([&] { real.Open("\\\\?\\hid#vid_1209&pid_2442#none"); }),
              std::pair(K::Disconnected, int(ERROR_FILE_NOT_FOUND)));
}

}  // namespace
}  // namespace velt
