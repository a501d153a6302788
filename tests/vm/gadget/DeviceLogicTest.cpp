// The gadget's firmware model, without USB: what it counts decides the VM cases'
// verdicts, so a miscount here would pass a broken tool.
#include "DeviceLogic.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velt::vm {
namespace {

std::vector<std::uint8_t> ModeSwitch() {
    std::vector<std::uint8_t> data(kPayloadLength, 0);
    data[0] = 0xde;
    data[1] = 0xfa;
    data[2] = 0xce;
    return data;
}

std::vector<std::uint8_t> Record(std::uint8_t seed) {
    std::vector<std::uint8_t> data(kPayloadLength);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(seed + i);
    }
    return data;
}

std::string ShaOf(const std::vector<std::vector<std::uint8_t>>& records) {
    sim::Sha256 hash;
    for (const auto& record : records) {
        hash.Update(record.data(), record.size());
    }
    return sim::Sha256::Hex(hash.Finish());
}

TEST(DeviceLogic, SwitchThenRecordsAreHashedInOrder) {
    DeviceLogic logic(DeviceMode::Application, 0);
    EXPECT_EQ(logic.OnSetReport(kReportTypeFeature, 0, ModeSwitch()),
              DeviceAction::SwitchToBootloader);
    logic.EnteredBootloader();
    const std::vector<std::vector<std::uint8_t>> records = {Record(1), Record(2), Record(3)};
    for (const auto& record : records) {
        EXPECT_EQ(logic.OnSetReport(kReportTypeFeature, 0, record), DeviceAction::None);
    }
    EXPECT_EQ(logic.Summary(),
              "gadget: mode-switches=1 records=3 bytes=120 sha256=" + ShaOf(records));
    EXPECT_EQ(logic.Detail(), "gadget-detail: bad=0 other=0 late=0");
}

TEST(DeviceLogic, RecordOrderChangesTheDigest) {
    DeviceLogic forward(DeviceMode::Bootloader, 0);
    DeviceLogic backward(DeviceMode::Bootloader, 0);
    forward.OnSetReport(kReportTypeFeature, 0, Record(1));
    forward.OnSetReport(kReportTypeFeature, 0, Record(2));
    backward.OnSetReport(kReportTypeFeature, 0, Record(2));
    backward.OnSetReport(kReportTypeFeature, 0, Record(1));
    EXPECT_NE(forward.Summary(), backward.Summary());
}

TEST(DeviceLogic, SwitchCommandNeedsFeatureTypeReportIdZeroAndZeroPadding) {
    DeviceLogic logic(DeviceMode::Application, 0);
    EXPECT_EQ(logic.OnSetReport(kReportTypeOutput, 0, ModeSwitch()), DeviceAction::None);
    EXPECT_EQ(logic.OnSetReport(kReportTypeFeature, 1, ModeSwitch()), DeviceAction::None);
    auto dirty = ModeSwitch();
    dirty[39] = 1;
    EXPECT_EQ(logic.OnSetReport(kReportTypeFeature, 0, dirty), DeviceAction::None);
    auto shortSwitch = ModeSwitch();
    shortSwitch.resize(3);
    EXPECT_EQ(logic.OnSetReport(kReportTypeFeature, 0, shortSwitch), DeviceAction::None);
    EXPECT_EQ(logic.OnSetReport(kReportTypeFeature, 0, Record(7)), DeviceAction::None);
    EXPECT_EQ(logic.modeSwitches(), 0);
    EXPECT_EQ(logic.badReports(), 5);
    EXPECT_EQ(logic.mode(), DeviceMode::Application);
}

TEST(DeviceLogic, MalformedRecordsAreCountedNotStored) {
    DeviceLogic logic(DeviceMode::Bootloader, 0);
    logic.OnSetReport(kReportTypeOutput, 0, Record(1));
    logic.OnSetReport(kReportTypeFeature, 2, Record(1));
    auto longer = Record(1);
    longer.push_back(0);
    logic.OnSetReport(kReportTypeFeature, 0, longer);
    EXPECT_EQ(logic.records(), 0);
    EXPECT_EQ(logic.badReports(), 3);
    EXPECT_EQ(logic.Summary(),
              "gadget: mode-switches=0 records=0 bytes=0 "
              "sha256=e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    ASSERT_EQ(logic.log().size(), 3u);
    EXPECT_EQ(logic.log()[0], "malformed record: type=2 id=0 length=40");
}

TEST(DeviceLogic, VanishesAfterTheNthRecordAndCountsWhatComesLater) {
    DeviceLogic logic(DeviceMode::Bootloader, 2);
    EXPECT_EQ(logic.OnSetReport(kReportTypeFeature, 0, Record(1)), DeviceAction::None);
    EXPECT_EQ(logic.OnSetReport(kReportTypeFeature, 0, Record(2)), DeviceAction::Vanish);
    EXPECT_EQ(logic.mode(), DeviceMode::Gone);
    EXPECT_EQ(logic.OnSetReport(kReportTypeFeature, 0, Record(3)), DeviceAction::None);
    EXPECT_EQ(logic.records(), 2);
    EXPECT_EQ(logic.lateReports(), 1);
    EXPECT_EQ(logic.Detail(), "gadget-detail: bad=0 other=0 late=1");
}

TEST(DeviceLogic, OtherDeviceCountsEverythingAndNeverSwitches) {
    DeviceLogic logic(DeviceMode::Other, 0);
    EXPECT_EQ(logic.OnSetReport(kReportTypeFeature, 0, ModeSwitch()), DeviceAction::None);
    EXPECT_EQ(logic.OnSetReport(kReportTypeFeature, 0, Record(1)), DeviceAction::None);
    EXPECT_EQ(logic.otherReports(), 2);
    EXPECT_EQ(logic.modeSwitches(), 0);
    EXPECT_EQ(logic.records(), 0);
    EXPECT_EQ(logic.Detail(), "gadget-detail: bad=0 other=2 late=0");
}

TEST(DeviceLogic, LogStopsGrowingButCountersDoNot) {
    DeviceLogic logic(DeviceMode::Other, 0);
    for (int i = 0; i < 50; ++i) {
        logic.OnSetReport(kReportTypeFeature, 0, Record(1));
    }
    EXPECT_EQ(logic.otherReports(), 50);
    EXPECT_LT(logic.log().size(), 50u);
    EXPECT_FALSE(logic.log().empty());
}

TEST(DeviceLogic, ReportDescriptorDeclaresOneFortyByteFeatureReportWithoutIds) {
    const auto descriptor = VeltReportDescriptor();
    bool sawCount40 = false;
    bool sawFeature = false;
    // Walks the short items: the prefix's low two bits give 0, 1, 2 or 4 data bytes.
    for (std::size_t i = 0; i < descriptor.size();) {
        const std::uint8_t prefix = descriptor[i];
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        ASSERT_LE(i + 1 + size, descriptor.size()) << "item cut short at " << i;
        const std::uint8_t tag = prefix & 0xfc;
        EXPECT_NE(tag, 0x84) << "report ID item at " << i;
        if (tag == 0x94 && size == 1 && descriptor[i + 1] == 40) {
            sawCount40 = true;
        }
        if (tag == 0xb0) {
            sawFeature = true;
        }
        i += 1 + size;
    }
    EXPECT_TRUE(sawCount40);
    EXPECT_TRUE(sawFeature);
}

}  // namespace
}  // namespace velt::vm
