#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "device/Discovery.h"
#include "device/VeltProtocol.h"
#include "device/simulated/SimulatedBus.h"
#include "platform/FileRead.h"
#include "tests/support/FileKinds.h"
#include "tests/support/TempDir.h"
#include "update/DeviceProtocol.h"
#include "update/Outcome.h"
#include "update/UpdateSequence.h"

namespace velt {
namespace {

using protocol::applicationProductId;
using protocol::bootloaderProductId;

// Keeps what the update reports, in order, and can act or stop at any of it.
struct Recorder final : UpdateListener {
    void OnPhase(UpdatePhase phase) override {
        phases.push_back(phase);
        if (onPhase) {
            onPhase(phase);
        }
    }
    void OnDeviceSearched(OpenDevice& velt) override { searches.push_back(velt.isOpen()); }
    void OnProgress(int sent, int total) override { progress.push_back({sent, total}); }
    void OnFinished(const UpdateResult& result) override { finished.push_back(result); }
    std::optional<CancelCause> ShouldStop() override {
        ++steps;
        return stop ? stop() : std::nullopt;
    }

    std::vector<UpdatePhase> phases;
    std::vector<bool> searches;
    std::vector<std::pair<int, int>> progress;
    std::vector<UpdateResult> finished;
    int steps = 0;
    std::function<void(UpdatePhase)> onPhase;
    std::function<std::optional<CancelCause>()> stop;
};

// A simulated Velt-USB on a virtual clock, an image file and a listener.
struct Rig {
    std::string Image(std::size_t size) {
        image = test::PatternBytes(size);
        test::WriteFile(path, image);
        return path;
    }

    void Plug(sim::DeviceModel model = {}, sim::VeltBehaviour behaviour = {},
              sim::FailureInjection failures = {}) {
        velt = &bus.AddVelt(model, behaviour, failures);
        ASSERT_TRUE(OpenFirstVelt(bus, state));
    }

    UpdateResult RunUpdate() {
        // Loaded by the caller, as the window does at the click.
        const ImageLoad load = LoadFirmwareImage(path, "fw.bin");
        UpdateContext context{bus, clock, state, listener, load};
        return UpdateFirmware(context);
    }

    // The update let go of the device, however it ended, and said so once.
    void ExpectLetGo() const {
        EXPECT_EQ(bus.openDeviceCount(), 0U);
        EXPECT_EQ(listener.finished.size(), 1U);
    }

    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    OpenDevice state;
    Recorder listener;
    test::TempDir dir;
    std::string path = dir.str() + "/fw.bin";
    std::vector<std::uint8_t> image;
    sim::SimulatedVelt* velt = nullptr;
};

class UpdateTest : public ::testing::Test, public Rig {};

TEST_F(UpdateTest, ApplicationModeDeviceIsSwitchedReopenedAndWrittenInOrder) {
    Image(8000);
    Plug();
    const std::string appPath = velt->path();

    const UpdateResult result = RunUpdate();

    EXPECT_EQ(result.outcome, UpdateOutcome::Success);
    EXPECT_EQ(result.recordsSent, 200);
    ExpectLetGo();
    using enum UpdatePhase;
    // Each phase once, in order.
    EXPECT_EQ(listener.phases, (std::vector{CheckingImage, SwitchingToBootloader, WaitingForDevice,
                                            Transferring, Finishing}));

    // One switch: DE FA CE and zeros at the device's length; nothing else reaches the
    // application firmware.
    std::vector<sim::ReportRecord> switches, data;
    for (const auto& report : velt->reports()) {
        (report.productId == applicationProductId ? switches : data).push_back(report);
    }
    ASSERT_EQ(switches.size(), 1U);
    std::vector<std::uint8_t> command(40, 0);
    command[0] = 0xDE, command[1] = 0xFA, command[2] = 0xCE;
    EXPECT_EQ(switches[0].bytes, command);
    // The first search for the bootloader comes 100 ms after the switch.
    const auto& calls = bus.calls();
    const auto search = std::ranges::find_if(calls, [&](const sim::CallRecord& call) {
        return call.text == "List" && call.timeMs > switches[0].timeMs;
    });
    ASSERT_NE(search, calls.end());
    EXPECT_GE(search->timeMs, switches[0].timeMs + 100);

    // Every record once, in order, alone in a 41-byte report, at least 20 ms apart.
    ASSERT_EQ(data.size(), 200U);
    for (std::size_t i = 1; i < data.size(); ++i) {
        EXPECT_EQ(data[i].length, 41U);
        EXPECT_GE(data[i].timeMs - data[i - 1].timeMs, 20U);
    }
    EXPECT_EQ(velt->firmware(), image);
    EXPECT_NE(velt->path(), appPath);
    EXPECT_EQ(bus.openCount(velt->path()), 1);  // the bootloader is opened once

    // The labels were blank while the device was away, then showed it again.
    ASSERT_GE(listener.searches.size(), 2U);
    EXPECT_FALSE(listener.searches.front());
    EXPECT_TRUE(listener.searches.back());
    ASSERT_EQ(listener.progress.size(), 201U);
    EXPECT_EQ(listener.progress.front(), std::make_pair(0, 200));
    EXPECT_EQ(listener.progress.back(), std::make_pair(200, 200));
}

// With nothing to follow (a backend that tells no locations), the wait ends on the
// bootloader wherever it is listed: another Velt-USB in application mode before it neither
// stalls the wait nor gets a report.
TEST_F(UpdateTest, AnotherApplicationModeDeviceNeverStallsTheWaitNorIsWritten) {
    Image(400);
    Plug();
    sim::SimulatedVelt& other = bus.AddVelt({});
    listener.stop = [this]() -> std::optional<CancelCause> {
        return clock.NowMs() > 30000 ? std::optional(CancelCause::Timeout) : std::nullopt;
    };

    EXPECT_EQ(RunUpdate().outcome, UpdateOutcome::Success);
    EXPECT_EQ(velt->firmware(), image);
    EXPECT_TRUE(other.reports().empty());
    ExpectLetGo();
}

TEST_F(UpdateTest, ABootloaderModeDeviceIsReopenedOnceAndTakesTheLargestImageWithoutASwitch) {
    Image(protocol::maxImageSize);  // 32,766 whole records; the last 39 bytes are never sent
    Plug({.productId = bootloaderProductId});
    const std::string path = velt->path();
    EXPECT_EQ(RunUpdate().recordsSent, 32'766);
    using enum UpdatePhase;
    EXPECT_EQ(listener.phases,
              (std::vector{CheckingImage, WaitingForDevice, Transferring, Finishing}));
    EXPECT_EQ(velt->modeSwitches(), 0);
    EXPECT_EQ(bus.openCount(path), 2);  // before the click and once more before the transfer
    EXPECT_EQ(velt->firmware(), std::vector(image.begin(), image.end() - 39));
}

TEST_F(UpdateTest, DeviceFailuresEndTheTransferAndSayWhatHappened) {
    struct Case {
        int refuseRecord, vanishAfter;
        bool mute;  // the device does not answer the probe
        std::uint16_t featureLength;
        UpdateErrorKind kind;
        std::size_t recordsKept;
        std::string message;
    };
    const Case cases[] = {
        {3, 0, false, 41, UpdateErrorKind::RecordRefused, 2,
         "The device refused record 3 of 10. The firmware was not completely written. The "
         "Velt-USB waits in its bootloader: start the update again."},
        {1, 0, false, 41, UpdateErrorKind::RecordRefused, 0,
         "The device refused record 1 of 10. No firmware was written. The Velt-USB waits in its "
         "bootloader: start the update again."},
        {0, 5, false, 41, UpdateErrorKind::DeviceLeft, 5,
         "The Velt-USB left the bus after record 5 of 10. The firmware was not completely "
         "written. Start the update again."},
        {0, 0, true, 41, UpdateErrorKind::ProbeFailed, 0,
         "The device did not answer. No firmware was written. The Velt-USB waits in its "
         "bootloader: start the update again."},
        {0, 0, false, 40, UpdateErrorKind::RecordTooShort, 0,
         "The device's feature report holds 40 bytes; a firmware record needs at least 41. The "
         "device cannot take this firmware. No firmware was written; the Velt-USB now waits in "
         "its bootloader."},
        {0, 0, false, 3, UpdateErrorKind::SwitchTooShort, 0,
         "The device's feature report holds 3 bytes; the switch to the bootloader needs at "
         "least 4. The device cannot be updated. No firmware was written."},
    };
    for (const Case& c : cases) {
        Rig r;
        r.Image(400);
        sim::DeviceModel model;
        model.featureReportLength = c.featureLength;
        sim::VeltBehaviour behaviour;
        behaviour.refuseRecord = c.refuseRecord;
        behaviour.vanishAfter = c.vanishAfter;
        sim::FailureInjection failures;
        failures.manufacturer = c.mute;
        r.Plug(model, behaviour, failures);
        const UpdateResult result = r.RunUpdate();
        SCOPED_TRACE(c.message);
        ASSERT_TRUE(result.error);
        EXPECT_EQ(result.outcome, UpdateOutcome::Failure);
        EXPECT_EQ(result.error->kind, c.kind);
        EXPECT_EQ(OutcomeOf(result).reason, c.message);
        // Nothing after the failed record, nothing sent twice.
        EXPECT_EQ(r.velt->firmware(),
                  std::vector(r.image.begin(), r.image.begin() + 40 * c.recordsKept));
        r.ExpectLetGo();
    }
}

TEST_F(UpdateTest, ImagesThatCannotBeSentAreRefusedBeforeTheDeviceIsTouched) {
    // Each prepares the image's place; false where the platform cannot make such a file.
    const auto make = [](std::size_t size) {
        return [size](Rig& r) { return !r.Image(size).empty(); };
    };
    const std::pair<std::function<bool(Rig&)>, std::string> cases[] = {
        {[](Rig&) { return true; },
         "Cannot find fw.bin. Put the firmware image for the device in its place."},
        {make(0), "fw.bin is empty. Put the firmware image for the device in its place."},
        {make(39),
         "fw.bin is too small: 39 bytes. An image holds at least one record of 40 "
         "bytes. Put the firmware image for the device in its place."},
        {make(protocol::maxImageSize + 1),
         "fw.bin is too large: 1,310,680 bytes. The largest image is 1,310,679 bytes."},
        {[](Rig& r) { return std::filesystem::create_directory(r.path); },
         "fw.bin is not a file. Put the firmware image for the device in its place."},
        {[](Rig& r) { return test::MakeFifo(r.path); },
         "fw.bin is not a file. Put the firmware image for the device in its place."},
        {[](Rig& r) { return test::MakeSymlinkLoop(r.path); },
         "fw.bin cannot be read: Too many levels of symbolic links."},
    };
    for (const auto& [prepare, message] : cases) {
        Rig r;
        if (!prepare(r)) {
            continue;
        }
        r.Plug();
        const UpdateResult result = r.RunUpdate();
        ASSERT_TRUE(result.error) << message;
        EXPECT_EQ(result.error->kind, UpdateErrorKind::ImageUnusable);
        EXPECT_EQ(OutcomeOf(result).reason, message);
        EXPECT_TRUE(r.velt->reports().empty());
        EXPECT_EQ(r.velt->productId(), applicationProductId);
        r.ExpectLetGo();
    }
}

TEST_F(UpdateTest, TheDeviceGetsTheCheckedBytesHoweverTheFileChangesMeanwhile) {
    const std::function<void(const std::string&)> changes[] = {
        [](const std::string& path) { test::WriteFile(path, {}); },
        [](const std::string& path) {
            test::WriteFile(path, std::vector<std::uint8_t>(800, 0xEE));
        },
        [](const std::string& path) {
            std::filesystem::remove(path);
            test::MakeFifo(path);  // where there are none, a removed file will do
        },
    };
    for (const auto& change : changes) {
        Rig r;
        r.Image(400);
        r.Plug();
        r.listener.onPhase = [&](UpdatePhase phase) {
            if (phase == UpdatePhase::WaitingForDevice) {
                change(r.path);
            }
        };
        EXPECT_EQ(r.RunUpdate().outcome, UpdateOutcome::Success);
        EXPECT_EQ(r.velt->firmware(), r.image);
    }
}

TEST_F(UpdateTest, AStopEndsTheWaitOrTheTransferBetweenRecords) {
    // The device ignores the switch: no record ever reaches the application firmware, and
    // only a stop ends the wait.
    Image(400);
    sim::VeltBehaviour stubborn;
    stubborn.ignoreSwitch = true;
    Plug({}, stubborn);
    listener.stop = [&] {
        return listener.steps == 50 ? std::optional(CancelCause::Timeout) : std::nullopt;
    };
    UpdateResult result = RunUpdate();
    EXPECT_EQ(result.outcome, UpdateOutcome::Cancelled);
    EXPECT_EQ(result.cause, CancelCause::Timeout);
    EXPECT_EQ(result.totalRecords, 10);     // what was not sent, for the record
    EXPECT_EQ(velt->reports().size(), 1U);  // the switch alone
    ExpectLetGo();

    Rig r;
    r.Image(400);
    r.Plug();
    r.listener.stop = [&] {
        return r.velt->records() == 3 ? std::optional(CancelCause::Interrupt) : std::nullopt;
    };
    result = r.RunUpdate();
    EXPECT_EQ(result.outcome, UpdateOutcome::Cancelled);
    EXPECT_EQ(result.recordsSent, 3);
    EXPECT_EQ(r.velt->records(), 3U);
    r.ExpectLetGo();
}

// The size is taken before the read; a file that grows meanwhile is read to one byte past
// the limit, never further, and then refused.
TEST(ImageFileTest, AFileThatGrewAfterItsSizeWasTakenIsReadToTheLimitAndNoFurther) {
    using Status = FileRead::Status;
    const std::tuple<std::size_t, Status, std::size_t> cases[] = {{5, Status::Ok, 5},
                                                                  {12, Status::Ok, 12},
                                                                  {20, Status::Ok, 20},
                                                                  {500, Status::TooLarge, 21}};
    for (const auto& [actual, status, consumed] : cases) {
        FileRead read;
        read.size = 5;
        std::size_t left = actual;
        ASSERT_TRUE(ReadContent(read, 20, [&](std::uint8_t* buffer, std::size_t room) {
            const std::size_t n = std::min(room, left);
            std::fill_n(buffer, n, std::uint8_t{7});
            left -= n;
            return std::optional<std::size_t>(n);
        }));
        EXPECT_EQ(read.status, status) << actual;
        EXPECT_EQ(actual - left, consumed) << actual;
        EXPECT_EQ(read.bytes.size(), status == Status::Ok ? actual : 0U) << actual;
    }
}

TEST(DataReportTest, ARecordFillsItsFrameBehindTheIdAndALongerOneIsRefused) {
    DataReport report(protocol::dataReportLength);
    const std::vector<std::uint8_t> record(protocol::recordSize, 0xAB);
    EXPECT_NO_THROW(report.Fill(record));
    const std::vector<std::uint8_t> tooLong(protocol::recordSize + 1, 0xAB);
    EXPECT_THROW(report.Fill(tooLong), std::length_error);
    EXPECT_THROW(DataReport(0).Fill({}), std::length_error);
}

}  // namespace
}  // namespace velt
