// The gadget's firmware model, without USB: what it counts decides the VM cases' verdicts,
// so a miscount here would pass a broken tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include "device/VeltProtocol.h"
#include "tools/velt-usb-gadget/DeviceLogic.h"

namespace velt::vm {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kFeature = kReportTypeFeature;
constexpr std::size_t kRecord = protocol::recordSize;

Bytes ModeSwitch() {
    Bytes data(kRecord, 0);
    std::copy(protocol::modeSwitchCommand.begin(), protocol::modeSwitchCommand.end(), data.begin());
    return data;
}

// Only a feature report with ID 0, the command and zero padding switches; then only whole
// feature records are kept, in order, and everything else is counted and logged.
TEST(DeviceLogic, SwitchesOnTheExactCommandThenKeepsWholeRecordsInOrder) {
    std::vector<Bytes> kept;
    DeviceLogic logic(DeviceMode::Application, 0, [&](const Bytes& r) { kept.push_back(r); });
    Bytes dirty = ModeSwitch(), cut = ModeSwitch();
    dirty.back() = 1;
    cut.resize(3);
    for (const auto& [type, id, data] :
         {std::tuple(kReportTypeOutput, 0, ModeSwitch()), std::tuple(kFeature, 1, ModeSwitch()),
          std::tuple(kFeature, 0, dirty), std::tuple(kFeature, 0, cut),
          std::tuple(kFeature, 0, Bytes(kRecord, 7))}) {
        EXPECT_EQ(logic.OnSetReport(type, static_cast<std::uint8_t>(id), data), DeviceAction::None);
    }
    EXPECT_EQ(logic.OnSetReport(kFeature, 0, ModeSwitch()), DeviceAction::SwitchToBootloader);
    logic.EnteredBootloader();
    for (const Bytes& data : {Bytes(kRecord, 2), Bytes(kRecord + 1, 3), Bytes(kRecord, 1)}) {
        EXPECT_EQ(logic.OnSetReport(kFeature, 0, data), DeviceAction::None);
    }
    EXPECT_EQ(logic.OnSetReport(kReportTypeOutput, 0, Bytes(kRecord, 4)), DeviceAction::None);
    EXPECT_EQ(kept, (std::vector<Bytes>{Bytes(kRecord, 2), Bytes(kRecord, 1)}));
    EXPECT_EQ(logic.Summary(), "gadget: mode-switches=1 records=2 bytes=80");
    EXPECT_EQ(logic.Detail(), "gadget-detail: bad=7 other=0 late=0");
    EXPECT_EQ(logic.log().at(5), "malformed record: type=3 id=0 length=41");
}

// It leaves after the Nth record and counts what still comes; a device that is not a
// Velt-USB counts everything; the log stops growing, the counters do not.
TEST(DeviceLogic, VanishesAfterTheNthRecordAndOtherDevicesOnlyCount) {
    DeviceLogic logic(DeviceMode::Bootloader, 2);
    EXPECT_EQ(logic.OnSetReport(kFeature, 0, Bytes(kRecord, 1)), DeviceAction::None);
    EXPECT_EQ(logic.OnSetReport(kFeature, 0, Bytes(kRecord, 2)), DeviceAction::Vanish);
    EXPECT_EQ(logic.OnSetReport(kFeature, 0, Bytes(kRecord, 3)), DeviceAction::None);
    EXPECT_EQ(std::pair(logic.mode(), logic.records()), std::pair(DeviceMode::Gone, 2));
    EXPECT_EQ(logic.Detail(), "gadget-detail: bad=0 other=0 late=1");
    DeviceLogic other(DeviceMode::Other, 0);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(other.OnSetReport(kFeature, 0, ModeSwitch()), DeviceAction::None);
    }
    EXPECT_EQ(other.Summary() + other.Detail(),
              "gadget: mode-switches=0 records=0 bytes=0gadget-detail: bad=0 other=30 late=0");
    EXPECT_LT(other.log().size(), 30u);
}

}  // namespace
}  // namespace velt::vm
