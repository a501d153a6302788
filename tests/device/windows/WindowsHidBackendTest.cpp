#include "device/windows/WindowsHidBackend.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <thread>
#include <tuple>

#include "device/Discovery.h"
#include "device/windows/WindowsDeviceMonitor.h"

namespace velt {
namespace {

using K = DeviceErrorKind;
using windows::ErrorCode;
using windows::Handle;
using windows::Node;

// The HID stack as the backend sees it: each path names one device.
struct FakeApi final : windows::HidCalls {
    struct Device {
        windows::Attributes attributes{0x1209, 0x2442, 0x0110};
        ErrorCode openError = 0, overlappedOpenError = 0, attributesError = 0, error = 0;
        int attributesLate = 0;  // HidD_GetAttributes answers this often before its error
        std::u16string text;     // every string
        Node node = 0;           // 0: none
    };
    struct NodeInfo {
        std::string id, locationPath, locationInfo;
        Node parent = 0;
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
    ErrorCode InterfaceNode(const std::string& path, Node& node) override {
        node = devices[path].node;
        return node ? 0 : ERROR_NOT_FOUND;
    }
    ErrorCode ParentNode(Node node, Node& parent) override {
        parent = nodes[node].parent;
        return parent ? 0 : ERROR_NOT_FOUND;
    }
    ErrorCode GetNodeText(Node node, windows::NodeText which, std::string& text) override {
        const NodeInfo& info = nodes[node];
        const std::string& value = which == windows::NodeText::InstanceId     ? info.id
                                   : which == windows::NodeText::LocationPath ? info.locationPath
                                                                              : info.locationInfo;
        if (!value.empty()) {
            text = value;
        }
        return value.empty() ? ERROR_NOT_FOUND : 0;
    }

    Device& Of(Handle handle) { return devices[open.at(handle).first]; }

    std::vector<std::string> order{"#velt"};  // of the paths listed
    std::map<std::string, Device> devices;
    std::map<Node, NodeInfo> nodes;
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

    // The interface at `path` on a HID node below the USB device node `usb` (instance `id`,
    // at `place`: a location path, or location information "Port_#..."), under a root hub.
    void Plug(const std::string& path, std::uint16_t productId, Node usb, const std::string& id,
              const std::string& place) {
        const bool info = place.starts_with("Port");
        api_->nodes[1] = {"USB\\ROOT_HUB30\\4&1", "PCIROOT(0)#PCI(1400)#USBROOT(0)", ""};
        api_->nodes[usb] = {id, info ? "" : place, info ? place : "", 1};
        api_->nodes[usb + 1] = {"HID\\VID_1209&PID_2442\\7&" + id, "", "", usb};
        api_->devices[path].node = usb + 1;
        api_->devices[path].attributes.productId = productId;
    }
    std::vector<std::tuple<std::string, int, std::string>> Listed() {
        std::vector<std::tuple<std::string, int, std::string>> listed;
        for (const HidInterfaceInfo& i : backend_.ListInterfaces()) {
            listed.emplace_back(i.path, i.productId, i.location);
        }
        return listed;
    }
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

TEST_F(WindowsHidBackendTest, TwoDevicesSwitchingAtOnceAreEachFoundAtTheirOwnPort) {
    const std::string portA = "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)",
                      portB = "Port_#0002.Hub_#0001";
    api_->order = {"#a", "#b"};
    Plug("#a", 0x2442, 10, "USB\\VID_1209&PID_2442\\VA-0001", portA);
    // B is composite: its HID node hangs from one of its functions, which has a path of its own.
    Plug("#b", 0x2442, 20, "USB\\VID_1209&PID_2442\\5&2", portB);
    api_->nodes[22] = {"USB\\VID_1209&PID_2442&MI_00\\6&3", portB + "#USBMI(0)", "", 20};
    api_->nodes[21].parent = 22;
    EXPECT_EQ(Listed(), (decltype(Listed()){{"#a", 0x2442, portA}, {"#b", 0x2442, portB}}));
    // Both come back as bootloaders, new device nodes at the same ports, B listed first.
    api_->order = {"#b2", "#a2"};
    Plug("#a2", 0xB038, 30, "USB\\VID_1209&PID_B038\\VA-0001", portA);
    Plug("#b2", 0xB038, 40, "USB\\VID_1209&PID_B038\\5&9", portB);
    EXPECT_EQ(Listed(), (decltype(Listed()){{"#b2", 0xB038, portB}, {"#a2", 0xB038, portA}}));
    for (const auto& [port, path] : {std::pair{portA, "#a2"}, {portB, "#b2"}}) {
        OpenDevice velt;
        EXPECT_TRUE(OpenFirstVelt(backend_, velt, nullptr, AtLocation(port)));
        EXPECT_EQ(velt.info.path, path);
    }
}

TEST_F(WindowsHidBackendTest, NoLocationWithoutAUsbDeviceThatTellsOne) {
    api_->order = {"#wine", "#unknown", "#silent"};
    Plug("#wine", 0x2442, 10, "", "");
    // What wine 8 tells: a HID node with neither a parent nor a location.
    api_->nodes[11] = {"HID\\VID_1209&PID_2442&MI_00\\258&VW-0042&0&0", "", "", 0};
    Plug("#silent", 0x2442, 20, "USB\\VID_1209&PID_2442\\5&2", "");  // not the hub's either
    EXPECT_EQ(Listed(),
              (decltype(Listed()){
                  {"#wine", 0x2442, ""}, {"#unknown", 0x2442, ""}, {"#silent", 0x2442, ""}}));
}

TEST(WindowsDeviceMonitorTest, AWaitEndsAtANotificationOrWithoutThemOnceASecondAtMost) {
    struct Fake final : windows::DeviceNotifications {
        Fake(std::function<void()>& changed, ErrorCode error) : changed(changed), error(error) {}
        ErrorCode Start(std::function<void()> callback) override {
            changed = std::move(callback);
            return error;
        }
        std::function<void()>& changed;
        ErrorCode error;
    };
    VirtualClock clock;
    std::function<void()> changed;
    WindowsDeviceMonitor notified(std::make_unique<Fake>(changed, 0), &clock);
    EXPECT_TRUE(notified.WaitForChange(0));  // nothing listened before
    EXPECT_FALSE(notified.WaitForChange(0));
    changed();
    changed();
    EXPECT_TRUE(notified.WaitForChange(60000));  // once for the burst
    EXPECT_FALSE(notified.WaitForChange(0));
    std::thread system([&] { changed(); });
    EXPECT_TRUE(notified.WaitForChange(60000));
    system.join();
    WindowsDeviceMonitor polling(std::make_unique<Fake>(changed, ERROR_ACCESS_DENIED), &clock);
    EXPECT_FALSE(polling.WaitForChange(400));
    EXPECT_EQ(clock.NowMs(), 400u);
    for (const std::uint64_t pass : {1000u, 2000u}) {
        EXPECT_TRUE(polling.WaitForChange(5000));
        EXPECT_EQ(clock.NowMs(), pass);
    }
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
    EXPECT_TRUE(WindowsDeviceMonitor().WaitForChange(0));  // it registered for notifications
    EXPECT_EQ(Thrown([&] { real.Open("\\\\?\\hid#vid_1209&pid_2442#none"); }),
              std::pair(K::Disconnected, int(ERROR_FILE_NOT_FOUND)));
}

}  // namespace
}  // namespace velt
