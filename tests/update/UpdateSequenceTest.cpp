#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "Clock.h"
#include "FakeWindow.h"
#include "FrmMain.h"
#include "ImageTransfer.h"
#include "PlatformSpy.h"
#include "SimulatedBus.h"
#include "TempDir.h"

namespace velt {
namespace {

using sim::ReportRecord;
using test::FakeWindow;

constexpr short kFullWidth = 5055;

// A window, a simulated bus on a virtual clock and an image folder.
struct Rig {
    std::filesystem::path ImagePath() const { return dir.path() / "Velt-USB.bin"; }

    void Image(std::size_t size) {
        image = test::PatternBytes(size);
        test::WriteFile(ImagePath(), image);
    }

    void Start(sim::DeviceModel model = {}, sim::VeltBehaviour behaviour = {},
               sim::FailureInjection failures = {}) {
        if (!behaviour.bootloaderIdentity) {
            sim::DeviceModel bootloader = model;
            bootloader.product = "Velt-USB Bootloader";
            behaviour.bootloaderIdentity = bootloader;
        }
        velt = &bus.AddVelt(model, behaviour, failures);
        window.events = &form;
        form.Form_Load();
        form.Form_Activate();
        EXPECT_TRUE(form.state.deviceFound);
    }

    std::vector<ReportRecord> ReportsIn(std::uint16_t productId) const {
        std::vector<ReportRecord> out;
        for (const auto& report : velt->reports()) {
            if (report.productId == productId) {
                out.push_back(report);
            }
        }
        return out;
    }

    std::vector<std::uint8_t> Received() const {
        std::vector<std::uint8_t> bytes;
        for (const auto& record : velt->records()) {
            bytes.insert(bytes.end(), record.begin(), record.end());
        }
        return bytes;
    }

    // Whether the image is there, what it is and its size: a refused image stays as it was.
    std::string DescribeImage() const {
        const auto status = std::filesystem::status(ImagePath());
        if (!std::filesystem::exists(status)) {
            return "absent";
        }
        if (!std::filesystem::is_regular_file(status)) {
            return "not a file";
        }
        return std::to_string(std::filesystem::file_size(ImagePath())) + " bytes";
    }

    // Everything is let go and the window is gone with this status.
    void ExpectClosedWith(int status) {
        EXPECT_EQ(window.exitStatus, status);
        EXPECT_EQ(window.unloadCalls, 1);
        EXPECT_EQ(bus.openHandleCount(), 0U);
        EXPECT_EQ(bus.invalidCloses(), 0);
        form.Form_Terminate();
        EXPECT_EQ(bus.invalidCloses(), 0);
        EXPECT_EQ(window.unloadCalls, 1);
    }

    // The widths of the bar: 0 when shown, one step per accepted record, 0 at the end.
    static std::vector<float> ProgressSteps(int sent, int whole = -1) {
        const int totalRecords = (whole < 0 ? sent : whole) + 1;
        std::vector<float> widths{0.0F};
        for (int k = 1; k <= sent; ++k) {
            widths.push_back(
                static_cast<float>(static_cast<double>(kFullWidth) * k / totalRecords));
        }
        widths.push_back(0.0F);
        return widths;
    }

    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    test::PlatformSpy spy{bus};
    test::TempDir dir;
    FakeWindow window{&clock};
    FrmMain form{window, spy, dir.str()};
    std::vector<std::uint8_t> image;
    sim::SimulatedVelt* velt = nullptr;
};

class UpdateTest : public ::testing::Test, public Rig {};

TEST_F(UpdateTest, ApplicationModeDeviceIsSwitchedRediscoveredAndWritten) {
    Image(8000);
    Start();
    const std::string appPath = velt->path();
    bool labelsBlankWhileAway = false;
    window.onDoEvents = [&] {
        if (!velt->present() && window.captions[Control::lblManuf].empty()) {
            labelsBlankWhileAway = true;
        }
    };

    form.btnUpgradeFW_Click();

    EXPECT_EQ(form.outcome(), UpdateOutcome::Success);
    ExpectClosedWith(0);
    EXPECT_FALSE(window.enabled[Control::btnUpgradeFW]);
    EXPECT_EQ(window.buttonCaptions,
              (std::vector<std::string>{"Switching to bootloader...", "Updating firmware...",
                                        "Finishing..."}));
    EXPECT_TRUE(window.boxes.empty());

    // One mode switch, exactly DE FA CE and zeros at the device's length, nothing else to
    // the application firmware.
    const auto appReports = ReportsIn(applicationProductId);
    ASSERT_EQ(appReports.size(), 1U);
    std::vector<std::uint8_t> expectedSwitch(40, 0);
    expectedSwitch[0] = 0xDE;
    expectedSwitch[1] = 0xFA;
    expectedSwitch[2] = 0xCE;
    EXPECT_EQ(appReports[0].bytes, expectedSwitch);
    EXPECT_EQ(appReports[0].length, 41U);
    EXPECT_EQ(velt->modeSwitches(), 1);

    // 200 records, in order, each alone in a 41-byte report, at least 20 ms apart.
    const auto data = ReportsIn(bootloaderProductId);
    ASSERT_EQ(data.size(), 200U);
    for (std::size_t i = 0; i < data.size(); ++i) {
        EXPECT_EQ(data[i].length, 41U);
        EXPECT_TRUE(data[i].accepted);
        if (i > 0) {
            EXPECT_GE(data[i].timeMs - data[i - 1].timeMs, 20U);
        }
    }
    EXPECT_EQ(Received(), image);
    EXPECT_EQ(test::ReadFile(ImagePath()), image);

    // The first search after the switch comes 100 ms later, without events processed;
    // then the 100 ms cycles process events first.
    const std::uint64_t switchedAt = appReports[0].timeMs;
    ASSERT_FALSE(window.doEventsTimes.empty());
    EXPECT_GE(window.doEventsTimes[0], switchedAt + 100);
    for (std::size_t i = 1; i < window.doEventsTimes.size(); ++i) {
        const auto gap = window.doEventsTimes[i] - window.doEventsTimes[i - 1];
        EXPECT_GE(gap, 20U);
    }
    EXPECT_TRUE(labelsBlankWhileAway);
    EXPECT_NE(velt->path(), appPath);
    EXPECT_EQ(window.captions[Control::lblProduct], " Velt-USB Bootloader");

    EXPECT_EQ(window.picWidths, ProgressSteps(200));
    EXPECT_TRUE(window.visible[Control::Pic]);
}

TEST_F(UpdateTest, BootloaderModeDeviceIsReopenedOnceAndWrittenWithoutASwitch) {
    Image(80);
    Start(sim::DeviceModel{.productId = bootloaderProductId});
    const std::string path = velt->path();
    bus.ClearCalls();

    form.btnUpgradeFW_Click();

    EXPECT_EQ(form.outcome(), UpdateOutcome::Success);
    ExpectClosedWith(0);
    EXPECT_EQ(velt->modeSwitches(), 0);
    EXPECT_EQ(window.buttonCaptions,
              (std::vector<std::string>{"Updating firmware...", "Finishing..."}));
    EXPECT_EQ(Received(), image);
    EXPECT_EQ(bus.openCount(path), 4);  // at start-up and once more before the transfer
    EXPECT_EQ(window.picWidths, ProgressSteps(2));
    ASSERT_GE(bus.calls().size(), 4U);
    EXPECT_EQ(bus.calls()[0].text, "Close " + path);
    EXPECT_EQ(bus.calls()[1].text, "Close " + path);
    EXPECT_EQ(bus.calls()[2].text, "Sleep 100");
    EXPECT_EQ(bus.calls()[3].text, "List");
    EXPECT_EQ(window.doEventsTimes.size(), 1U + 2U);  // the reopen cycle, then per record
}

TEST_F(UpdateTest, NoRecordReachesADeviceThatHasNotLeftApplicationMode) {
    Image(400);
    Start({}, sim::VeltBehaviour{.detachMs = 350, .reenumerateMs = 300});
    form.btnUpgradeFW_Click();
    EXPECT_EQ(form.outcome(), UpdateOutcome::Success);
    EXPECT_EQ(ReportsIn(applicationProductId).size(), 1U);
    EXPECT_EQ(Received(), image);
    ExpectClosedWith(0);
}

TEST_F(UpdateTest, ADeviceIgnoringTheSwitchGetsNoDataAndTheUserCanCancel) {
    Image(400);
    Start({}, sim::VeltBehaviour{.ignoreSwitch = true});
    int cycles = 0;
    window.onDoEvents = [&] {
        if (++cycles == 30) {
            form.Form_CloseRequest();
        }
    };
    form.btnUpgradeFW_Click();

    EXPECT_EQ(form.outcome(), UpdateOutcome::Cancelled);
    EXPECT_EQ(cycles, 30);
    EXPECT_EQ(velt->reports().size(), 1U);  // the switch alone
    EXPECT_TRUE(velt->records().empty());
    EXPECT_TRUE(window.boxes.empty());
    ExpectClosedWith(2);
}

TEST_F(UpdateTest, ARefusedOrLostRecordEndsTheTransferWithAMessage) {
    struct Case {
        int refuseRecord;
        int vanishAfter;
        int accepted;
    };
    for (const Case c : {Case{1, 0, 0}, Case{3, 0, 2}, Case{200, 0, 199}, Case{0, 5, 5}}) {
        SCOPED_TRACE(c.accepted);
        Rig r;
        r.Image(8000);
        sim::VeltBehaviour behaviour;
        behaviour.refuseRecord = c.refuseRecord;
        behaviour.vanishAfter = c.vanishAfter;
        r.Start({}, behaviour);
        r.form.btnUpgradeFW_Click();

        EXPECT_EQ(r.form.outcome(), UpdateOutcome::Failure);
        EXPECT_EQ(static_cast<int>(r.velt->records().size()), c.accepted);
        // Nothing is sent after the failed record and nothing is sent again.
        EXPECT_EQ(static_cast<int>(r.ReportsIn(bootloaderProductId).size()),
                  c.accepted + (c.refuseRecord > 0 ? 1 : 0));
        EXPECT_EQ(r.window.buttonCaptions.back(), "Updating firmware...");
        EXPECT_EQ(r.window.picWidths, ProgressSteps(c.accepted, 200));
        ASSERT_EQ(r.window.boxes.size(), 1U);
        EXPECT_EQ(r.window.boxes[0].title, "Update Error");
        EXPECT_EQ(r.window.boxes[0].style, 16);
        const std::string& text = r.window.boxes[0].text;
        EXPECT_NE(text.find("record " + std::to_string(c.accepted + 1) + " of 200"),
                  std::string::npos);
        EXPECT_NE(text.find("Start the update again"), std::string::npos);
        r.ExpectClosedWith(1);
    }
}

TEST_F(UpdateTest, ADeviceThatDoesNotAnswerTheProbeGetsNothing) {
    Image(80);
    sim::FailureInjection silent;
    silent.manufacturer = true;
    Start({.productId = bootloaderProductId}, {}, silent);
    form.btnUpgradeFW_Click();
    EXPECT_EQ(form.outcome(), UpdateOutcome::Failure);
    EXPECT_TRUE(velt->reports().empty());
    ASSERT_EQ(window.boxes.size(), 1U);
    EXPECT_EQ(window.boxes[0].text, "The device did not answer. No firmware was written.");
    EXPECT_EQ(window.buttonCaptions, std::vector<std::string>{});
    EXPECT_EQ(window.picWidths, std::vector<float>{0.0F});
    ExpectClosedWith(1);
}

TEST_F(UpdateTest, RecordCountsFollowTheImageSize) {
    const std::pair<std::size_t, int> cases[] = {{40, 1}, {80, 2}, {85, 2}, {1000, 25}};
    for (const auto& [size, records] : cases) {
        SCOPED_TRACE(size);
        Rig r;
        r.Image(size);
        r.Start({.productId = bootloaderProductId});
        r.form.btnUpgradeFW_Click();
        EXPECT_EQ(r.form.outcome(), UpdateOutcome::Success);
        EXPECT_EQ(static_cast<int>(r.velt->records().size()), records);
        EXPECT_EQ(r.window.picWidths, ProgressSteps(records));
        EXPECT_EQ(test::ReadFile(r.ImagePath()), r.image);
    }
}

TEST_F(UpdateTest, TheLargestImageIsSentWhole) {
    const std::uintmax_t size = 1'310'679;
    { std::ofstream sparse(ImagePath(), std::ios::binary); }
    std::filesystem::resize_file(ImagePath(), size);
    Start({.productId = bootloaderProductId});
    form.btnUpgradeFW_Click();
    EXPECT_EQ(form.outcome(), UpdateOutcome::Success);
    EXPECT_EQ(velt->records().size(), 32'766U);
    EXPECT_EQ(std::filesystem::file_size(ImagePath()), size);
    ASSERT_GE(window.picWidths.size(), 2U);
    EXPECT_FLOAT_EQ(window.picWidths[window.picWidths.size() - 2],
                    static_cast<float>(kFullWidth * 32'766.0 / 32'767));
}

TEST_F(UpdateTest, ImagesThatCannotBeSentAreRefusedBeforeTheDeviceIsTouched) {
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path&)> make;
        const char* message;
    };
    const Case cases[] = {
        {"empty", [](const auto& p) { test::WriteFile(p, {}); }, "Velt-USB.bin is empty."},
        {"39 bytes", [](const auto& p) { test::WriteFile(p, test::PatternBytes(39)); },
         "Velt-USB.bin is too small: 39 bytes."},
        {"too large",
         [](const auto& p) {
             test::WriteFile(p, {});
             std::filesystem::resize_file(p, 1'310'680);
         },
         "Velt-USB.bin is too large: 1,310,680 bytes. The largest image is 1,310,679 bytes."},
        {"folder", [](const auto& p) { std::filesystem::create_directory(p); },
         "Velt-USB.bin is not a file."},
        {"gone since start-up", [](const auto&) {}, "Cannot find Velt-USB.bin."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.Image(80);
        r.Start();  // application mode: must stay there
        std::filesystem::remove(r.ImagePath());
        c.make(r.ImagePath());
        const auto before = r.DescribeImage();

        r.form.btnUpgradeFW_Click();

        EXPECT_EQ(r.form.outcome(), UpdateOutcome::Failure);
        EXPECT_TRUE(r.velt->reports().empty());
        EXPECT_EQ(r.velt->productId(), applicationProductId);
        ASSERT_EQ(r.window.boxes.size(), 1U);
        EXPECT_EQ(r.window.boxes[0].title, "File Error");
        EXPECT_EQ(r.window.boxes[0].style, 16);
        EXPECT_EQ(r.window.boxes[0].text.rfind(c.message, 0), 0U) << r.window.boxes[0].text;
        EXPECT_EQ(r.DescribeImage(), before);
        r.ExpectClosedWith(1);
    }
}

TEST_F(UpdateTest, AnImageChangedAfterCountingIsNeverSentBeyondTheCount) {
    // 400 bytes counted (10 records), then the file shrinks to 130 or grows to 800.
    const std::tuple<std::size_t, UpdateOutcome, std::size_t> cases[] = {
        {130, UpdateOutcome::Failure, 3}, {800, UpdateOutcome::Success, 10}};
    for (const auto& [newSize, outcome, records] : cases) {
        SCOPED_TRACE(newSize);
        Rig r;
        r.Image(400);
        r.Start({.productId = bootloaderProductId});
        r.spy.onSleep = [&, newSize = newSize](std::uint32_t ms) {
            if (ms == 10) {  // after counting, before the probe
                test::WriteFile(r.ImagePath(), test::PatternBytes(newSize));
            }
        };
        r.form.btnUpgradeFW_Click();
        EXPECT_EQ(r.form.outcome(), outcome);
        EXPECT_EQ(r.velt->records().size(), records);
        if (outcome == UpdateOutcome::Failure) {
            ASSERT_EQ(r.window.boxes.size(), 1U);
            EXPECT_NE(r.window.boxes[0].text.find("changed"), std::string::npos);
        }
        r.ExpectClosedWith(ExitStatusFor(outcome));
    }
}

TEST_F(UpdateTest, CloseWhileWaitingCancelsAndWhileWritingWaitsForTheLastRecord) {
    struct Case {
        const char* state;
        std::uint16_t productId;
        std::size_t closeAtRecords;
        UpdateOutcome outcome;
        std::size_t records;
    };
    const Case cases[] = {
        {"switching", applicationProductId, 0, UpdateOutcome::Cancelled, 0},
        {"reopening", bootloaderProductId, 0, UpdateOutcome::Cancelled, 0},
        {"transferring", bootloaderProductId, 4, UpdateOutcome::Success, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        Rig r;
        r.Image(400);
        r.Start({.productId = c.productId}, {.detachMs = 20, .reenumerateMs = 10'000});
        r.window.onDoEvents = [&] {
            if (r.velt->records().size() == c.closeAtRecords) {
                r.form.Form_CloseRequest();
            }
        };
        r.form.btnUpgradeFW_Click();
        EXPECT_EQ(r.form.outcome(), c.outcome);
        EXPECT_EQ(r.velt->records().size(), c.records);
        if (c.outcome == UpdateOutcome::Cancelled) {
            EXPECT_EQ(r.window.doEventsTimes.size(), 1U);  // the first wait cycle ends it
            EXPECT_EQ(r.velt->reports().size(), c.productId == applicationProductId ? 1U : 0U);
        } else {
            EXPECT_NE(r.window.title, "Velt-USB Firmware Update");
            EXPECT_EQ(r.window.buttonCaptions.back(), "Finishing...");
        }
        r.ExpectClosedWith(ExitStatusFor(c.outcome));
    }
}

TEST_F(UpdateTest, ReportLengthsFollowTheDeviceAndShortOnesAreRefused) {
    struct Case {
        std::uint16_t length;
        bool switchSent;
        bool dataSent;
    };
    const Case cases[] = {{0, false, false}, {4, true, false}, {40, true, false},
                          {41, true, true},  {64, true, true}, {200, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        Rig r;
        r.Image(120);
        r.Start({.featureReportLength = c.length});
        r.form.btnUpgradeFW_Click();

        EXPECT_EQ(r.velt->modeSwitches(), c.switchSent ? 1 : 0);
        if (c.switchSent) {
            const auto& report = r.velt->reports().front();
            EXPECT_EQ(report.length, c.length);
            std::vector<std::uint8_t> expected(c.length - 1, 0);
            expected[0] = 0xDE;
            expected[1] = 0xFA;
            expected[2] = 0xCE;
            EXPECT_EQ(report.bytes, expected);
        }
        if (c.dataSent) {
            EXPECT_EQ(r.form.outcome(), UpdateOutcome::Success);
            ASSERT_EQ(r.velt->records().size(), 3U);
            const auto& last = r.velt->reports().back();
            EXPECT_EQ(last.length, c.length);
            std::vector<std::uint8_t> expected(r.image.begin() + 80, r.image.end());
            expected.resize(c.length - 1, 0);
            EXPECT_EQ(last.bytes, expected);
            r.ExpectClosedWith(0);
        } else {
            EXPECT_EQ(r.form.outcome(), UpdateOutcome::Failure);
            EXPECT_TRUE(r.velt->records().empty());
            EXPECT_EQ(static_cast<int>(r.velt->reports().size()), c.switchSent ? 1 : 0);
            ASSERT_EQ(r.window.boxes.size(), 1U);
            EXPECT_EQ(r.window.boxes[0].title, "Update Error");
            EXPECT_NE(r.window.boxes[0].text.find("No firmware was written"), std::string::npos);
            r.ExpectClosedWith(1);
        }
    }
}

TEST_F(UpdateTest, AStopRequestEndsTheTransferBetweenRecords) {
    Image(400);
    Start({.productId = bootloaderProductId});
    // As a front end without the window's close box drives it.
    UpdateCloseGate gate;
    UpdateContext context{spy, window, form.state, form.imagePath(), kFullWidth, gate};
    window.onDoEvents = [&] {
        if (velt->records().size() == 3) {
            gate.RequestStop();
        }
    };
    EXPECT_EQ(btnUpgradeFW_Click(context), UpdateOutcome::Cancelled);
    EXPECT_EQ(velt->records().size(), 3U);
    EXPECT_EQ(ReportsIn(bootloaderProductId).size(), 3U);
    ExpectClosedWith(2);
}

TEST_F(UpdateTest, TransferWithoutADeviceSucceedsAndTouchesNothing) {
    UpdateCloseGate gate;
    UpdateContext context{spy, window, form.state, form.imagePath(), kFullWidth, gate};
    const auto logBefore = window.log.size();
    EXPECT_TRUE(SendFlashData(context).succeeded);
    EXPECT_EQ(window.log.size(), logBefore);
    EXPECT_TRUE(bus.calls().empty());
    EXPECT_FALSE(std::filesystem::exists(ImagePath()));
}

}  // namespace
}  // namespace velt
