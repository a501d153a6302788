#include <gtest/gtest.h>

#include <algorithm>

#include "Clock.h"
#include "Discovery.h"
#include "SimulatedBus.h"

namespace velt {
namespace {

using sim::DeviceModel;
using sim::FailureInjection;

DeviceModel Keyboard(std::uint16_t productId = 0x0101, std::uint16_t version = 0x0111) {
    DeviceModel model;
    model.vendorId = 0x046A;
    model.productId = productId;
    model.version = version;
    model.manufacturer = "Keys Inc";
    model.product = "Keyboard";
    model.featureReportLength = 0;
    return model;
}

DeviceModel Velt(std::uint16_t productId, std::uint16_t vendorId = 0x1209) {
    DeviceModel model;
    model.productId = productId;
    model.vendorId = vendorId;
    return model;
}

int CountCalls(const sim::SimulatedBus& bus, const std::string& text) {
    const auto& calls = bus.calls();
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [&](const auto& call) { return call.text == text; }));
}

int IndexOfCall(const sim::SimulatedBus& bus, const std::string& text) {
    const auto& calls = bus.calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].text == text) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

class DiscoveryTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    DeviceState state;
};

TEST_F(DiscoveryTest, EmptyListLeavesEarlierStateAlone) {
    state.devicePath = "earlier";
    state.deviceAttributes.VersionNumber = 0x0305;
    state.deviceAttributes.ProductID = 0x1111;

    EXPECT_FALSE(FindTheHid(bus, state));
    EXPECT_FALSE(state.deviceFound);
    EXPECT_TRUE(state.lastInterface);
    EXPECT_EQ(state.devicePath, "earlier");
    EXPECT_EQ(state.deviceAttributes.ProductID, 0x1111);
    EXPECT_EQ(state.deviceAttributes.VersionNumber, 0x0305);
    EXPECT_FALSE(state.commandHandle.isOpen());
    EXPECT_FALSE(state.queryHandle.isOpen());
}

TEST_F(DiscoveryTest, NonMatchingInterfacesAreClosedAndPassedOver) {
    bus.AddDevice(Keyboard(0x0101));
    // The vendor ID of a Velt-USB does not make another product ID match.
    const std::string last = bus.AddDevice(Velt(0x2443));

    EXPECT_FALSE(FindTheHid(bus, state));
    EXPECT_TRUE(state.lastInterface);
    EXPECT_EQ(bus.openHandleCount(), 0U);
    EXPECT_EQ(bus.invalidCloses(), 0);
    EXPECT_FALSE(state.commandHandle.isOpen());
    EXPECT_FALSE(state.queryHandle.isOpen());
    EXPECT_EQ(state.devicePath, last);
    EXPECT_EQ(state.deviceAttributes.ProductID, 0x2443);
    // A search after a failed one leaves nothing open either.
    EXPECT_FALSE(FindTheHid(bus, state));
    EXPECT_EQ(bus.openHandleCount(), 0U);
}

TEST_F(DiscoveryTest, FirstMatchWinsWhateverTheVendorAndLaterOnesAreNeverOpened) {
    const std::string keyboard = bus.AddDevice(Keyboard());
    const std::string first = bus.AddDevice(Velt(bootloaderProductId, 0xFFFF));
    sim::SimulatedVelt& second = bus.AddVelt(Velt(applicationProductId, 0x0001));

    ASSERT_TRUE(FindTheHid(bus, state));
    EXPECT_TRUE(state.deviceFound);
    EXPECT_EQ(state.devicePath, first);
    EXPECT_EQ(state.deviceAttributes.ProductID, bootloaderProductId);
    EXPECT_EQ(state.deviceAttributes.VendorID, 0xFFFF);
    EXPECT_EQ(state.deviceCaps.FeatureReportByteLength, 41);
    EXPECT_TRUE(state.commandHandle.isOpen());
    EXPECT_TRUE(state.queryHandle.isOpen());
    EXPECT_NE(state.commandHandle.value(), state.queryHandle.value());
    EXPECT_EQ(bus.openCount(second.path()), 0);
    EXPECT_EQ(bus.openHandleCount(), 2U);

    // The keyboard was closed before the next index; at the match the attributes decide,
    // then the capabilities are read, and only then is the query handle opened.
    const int keyboardClosed = IndexOfCall(bus, "Close " + keyboard);
    const int matchOpened = IndexOfCall(bus, "Open " + first);
    const int attributes = IndexOfCall(bus, "GetAttributes " + first);
    const int caps = IndexOfCall(bus, "GetCaps " + first);
    const int query = IndexOfCall(bus, "Open " + first + " overlapped");
    EXPECT_LT(keyboardClosed, matchOpened);
    EXPECT_LT(attributes, caps);
    EXPECT_LT(caps, query);
    EXPECT_EQ(CountCalls(bus, "Close " + first), 0);
}

TEST_F(DiscoveryTest, FailedOpensAndAttributeReadsArePassedOver) {
    FailureInjection cannotOpen;
    cannotOpen.open = true;
    bus.AddDevice(Velt(applicationProductId), cannotOpen);
    FailureInjection noAttributes;
    noAttributes.attributes = true;
    bus.AddDevice(Keyboard(0x0101, 0x0999));
    bus.AddDevice(Velt(bootloaderProductId), noAttributes);

    EXPECT_FALSE(FindTheHid(bus, state));
    EXPECT_EQ(bus.openHandleCount(), 0U);
    EXPECT_EQ(bus.invalidCloses(), 0);
    // Only vendor and product are cleared before a read: the version of the keyboard
    // examined before stays.
    EXPECT_EQ(state.deviceAttributes.ProductID, 0);
    EXPECT_EQ(state.deviceAttributes.VersionNumber, 0x0999);
    EXPECT_EQ(state.deviceAttributes.Size, 12U);

    const std::string good = bus.AddDevice(Velt(bootloaderProductId));
    ASSERT_TRUE(FindTheHid(bus, state));
    EXPECT_EQ(state.devicePath, good);
}

TEST_F(DiscoveryTest, CapabilityAndSecondOpenFailuresStillMatch) {
    state.deviceCaps.FeatureReportByteLength = 64;  // from an earlier device
    FailureInjection failures;
    failures.caps = true;
    failures.secondOpen = true;
    bus.AddDevice(Velt(applicationProductId), failures);

    EXPECT_TRUE(FindTheHid(bus, state));
    EXPECT_TRUE(state.deviceFound);
    EXPECT_EQ(state.deviceCaps.FeatureReportByteLength, 0);
    EXPECT_TRUE(state.commandHandle.isOpen());
    EXPECT_FALSE(state.queryHandle.isOpen());
    // A failed open counts as closed: closing it reaches nothing.
    CloseDeviceHandles(bus, state);
    CloseDeviceHandles(bus, state);
    EXPECT_EQ(bus.openHandleCount(), 0U);
    EXPECT_EQ(bus.invalidCloses(), 0);
}

TEST_F(DiscoveryTest, PermissionRefusalsOfMatchingDevicesAreReported) {
    FailureInjection denied;
    denied.open = true;
    denied.openError = OpenError::PermissionDenied;
    bus.AddDevice(Keyboard(), denied);
    const std::string velt = bus.AddDevice(Velt(applicationProductId), denied);
    FailureInjection busy = denied;
    busy.openError = OpenError::Busy;
    bus.AddDevice(Velt(bootloaderProductId), busy);

    std::vector<std::string> refused;
    EXPECT_FALSE(FindTheHid(bus, state, &refused));
    EXPECT_EQ(refused, std::vector<std::string>{velt});
}

}  // namespace
}  // namespace velt
