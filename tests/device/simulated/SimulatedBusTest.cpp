#include "SimulatedBus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velt::sim {
namespace {

DeviceModel Keyboard() {
    DeviceModel model;
    model.productId = 0x0011;
    model.featureReportLength = 0;
    model.usage = 0x0006;
    return model;
}

std::vector<std::string> Listed(SimulatedBus& bus) {
    std::vector<std::string> paths;
    auto list = bus.ListInterfaces();
    std::string path;
    for (std::uint32_t i = 0; list->Interface(i, path); ++i) {
        paths.push_back(path);
    }
    return paths;
}

TEST(SimulatedBus, EnumeratesInPluggingOrderAndNeverReusesPaths) {
    VirtualClock clock;
    SimulatedBus bus(clock);
    EXPECT_EQ(bus.AddDevice(Keyboard()), "/sim/hidraw0");
    SimulatedVelt& velt = bus.AddVelt(DeviceModel{});
    EXPECT_EQ(bus.AddDevice(Keyboard()), "/sim/hidraw2");

    auto snapshot = bus.ListInterfaces();
    bus.Unplug(velt.path());
    EXPECT_EQ(bus.AddDevice(Keyboard()), "/sim/hidraw3");
    std::string path;
    ASSERT_TRUE(snapshot->Interface(1, path));
    EXPECT_EQ(path, "/sim/hidraw1");
    EXPECT_FALSE(snapshot->Interface(3, path));

    bus.Replug(velt);
    EXPECT_EQ(Listed(bus), (std::vector<std::string>{"/sim/hidraw0", "/sim/hidraw2", "/sim/hidraw3",
                                                     "/sim/hidraw4"}));
    std::uint16_t productId = 0;
    EXPECT_TRUE(bus.PeekProductId("/sim/hidraw0", productId));
    EXPECT_EQ(productId, 0x0011);
    EXPECT_FALSE(bus.PeekProductId("/sim/hidraw1", productId));
}

TEST(SimulatedBus, HandlesAreFreshAndDieWithTheirDevice) {
    VirtualClock clock;
    SimulatedBus bus(clock);
    SimulatedVelt& velt = bus.AddVelt(DeviceModel{});
    const std::string oldPath = velt.path();
    const HidHandle first = bus.Open(oldPath, false);
    const HidHandle handle = bus.Open(oldPath, true);
    EXPECT_GT(first, 0);
    EXPECT_NE(handle, first);
    EXPECT_TRUE(bus.Close(first));
    EXPECT_FALSE(bus.Close(first));
    EXPECT_NE(bus.Open(oldPath, false), first);

    bus.Unplug(oldPath);
    bus.Replug(velt);
    HiddAttributes attributes;
    HidpCaps caps;
    std::uint8_t text[64] = {};
    const std::uint8_t report[41] = {};
    EXPECT_FALSE(bus.GetAttributes(handle, attributes));
    EXPECT_FALSE(bus.GetCaps(handle, caps));
    EXPECT_FALSE(bus.GetString(handle, HidString::Product, text, sizeof text));
    EXPECT_FALSE(bus.SetFeature(handle, report, sizeof report));
    EXPECT_TRUE(velt.reports().empty());
    EXPECT_EQ(bus.Open(oldPath, false), kInvalidHandle);
    EXPECT_EQ(bus.LastOpenError(), OpenError::NotFound);

    // Open until the tool closes them, so a leak shows.
    EXPECT_EQ(bus.openHandleCount(), 2u);
    EXPECT_TRUE(bus.Close(handle));
    EXPECT_EQ(bus.openHandleCount(), 1u);
    EXPECT_EQ(bus.invalidCloses(), 1);
    EXPECT_EQ(bus.openCount(oldPath), 4);
}

TEST(SimulatedBus, AttributesAndCapsFillOnlyTheirFields) {
    VirtualClock clock;
    SimulatedBus bus(clock);
    const HidHandle handle = bus.Open(bus.AddVelt(DeviceModel{}).path(), false);
    HiddAttributes attributes;
    attributes.Size = 12;
    ASSERT_TRUE(bus.GetAttributes(handle, attributes));
    EXPECT_EQ(attributes.Size, 12u);
    EXPECT_EQ(attributes.VendorID, 0x1209);
    EXPECT_EQ(attributes.ProductID, applicationProductId);
    EXPECT_EQ(attributes.VersionNumber, 0x0102);

    HidpCaps caps;
    caps.InputReportByteLength = 99;
    ASSERT_TRUE(bus.GetCaps(handle, caps));
    EXPECT_EQ(caps.FeatureReportByteLength, 41);
    EXPECT_EQ(caps.InputReportByteLength, 0);
}

TEST(SimulatedBus, StringsAreUtf16AndNeverOverrunTheBuffer) {
    VirtualClock clock;
    SimulatedBus bus(clock);
    DeviceModel model;
    model.manufacturer = "Grüße";
    model.product = "V\xF0\x9F\x94\x8C";  // U+1F50C needs a surrogate pair
    model.serial.reset();
    const HidHandle handle = bus.Open(bus.AddVelt(model).path(), false);
    using Bytes = std::vector<std::uint8_t>;

    Bytes buffer(16, 0xAA);
    ASSERT_TRUE(bus.GetString(handle, HidString::Manufacturer, buffer.data(), buffer.size()));
    EXPECT_EQ(buffer,
              (Bytes{'G', 0, 'r', 0, 0xFC, 0, 0xDF, 0, 'e', 0, 0, 0, 0xAA, 0xAA, 0xAA, 0xAA}));
    buffer.assign(16, 0xAA);
    ASSERT_TRUE(bus.GetString(handle, HidString::Product, buffer.data(), buffer.size()));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 9),
              (Bytes{'V', 0, 0x3D, 0xD8, 0x0C, 0xDD, 0, 0, 0xAA}));

    // A short buffer gets what fits, without a terminator and nothing past its end.
    buffer.assign(16, 0xAA);
    ASSERT_TRUE(bus.GetString(handle, HidString::Manufacturer, buffer.data(), 5));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 6), (Bytes{'G', 0, 'r', 0, 0xFC, 0xAA}));

    EXPECT_FALSE(bus.GetString(handle, HidString::SerialNumber, buffer.data(), buffer.size()));
}

TEST(SimulatedBus, InjectedFailures) {
    VirtualClock clock;
    SimulatedBus bus(clock);
    FailureInjection failures;
    failures.open = true;
    failures.openError = OpenError::PermissionDenied;
    const std::string path = bus.AddVelt(DeviceModel{}, {}, failures).path();
    EXPECT_EQ(bus.Open(path, false), kInvalidHandle);
    EXPECT_EQ(bus.LastOpenError(), OpenError::PermissionDenied);
    EXPECT_NE(bus.Open(path, true), kInvalidHandle);
    EXPECT_EQ(bus.LastOpenError(), OpenError::None);

    failures = {};
    failures.secondOpen = true;
    failures.attributes = true;
    failures.product = true;
    bus.SetFailures(path, failures);
    const HidHandle handle = bus.Open(path, false);
    EXPECT_NE(handle, kInvalidHandle);
    EXPECT_EQ(bus.Open(path, true), kInvalidHandle);
    EXPECT_EQ(bus.LastOpenError(), OpenError::Other);

    HiddAttributes attributes;
    HidpCaps caps;
    std::uint8_t text[64];
    EXPECT_FALSE(bus.GetAttributes(handle, attributes));
    EXPECT_TRUE(bus.GetCaps(handle, caps));
    EXPECT_FALSE(bus.GetString(handle, HidString::Product, text, sizeof text));
    EXPECT_TRUE(bus.GetString(handle, HidString::Manufacturer, text, sizeof text));
}

TEST(SimulatedBus, RecordsCallsWithTheirTimes) {
    VirtualClock clock;
    SimulatedBus bus(clock);
    const std::string path = bus.AddVelt(DeviceModel{}).path();
    clock.Advance(5);
    bus.ListInterfaces();
    const HidHandle handle = bus.Open(path, true);
    std::uint8_t text[8];
    bus.GetString(handle, HidString::SerialNumber, text, sizeof text);
    bus.Sleep(20);
    const std::uint8_t report[41] = {};
    bus.SetFeature(handle, report, sizeof report);
    bus.Close(handle);
    bus.Close(handle);

    std::vector<std::string> texts;
    for (const auto& call : bus.calls()) {
        texts.push_back(call.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"List", "Open /sim/hidraw0 overlapped",
                                               "GetString SerialNumber /sim/hidraw0", "Sleep 20",
                                               "SetFeature /sim/hidraw0 41", "Close /sim/hidraw0",
                                               "Close #" + std::to_string(handle)}));
    EXPECT_EQ(bus.calls()[3].timeMs, 5u);
    EXPECT_EQ(bus.calls()[4].timeMs, 25u);
}

}  // namespace
}  // namespace velt::sim
