#include <gtest/gtest.h>

#include <filesystem>

#include "app/FrmMain.h"
#include "device/simulated/SimulatedBus.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/TempDir.h"

namespace velt {
namespace {

using test::FakeWindow;

class FrmMainTest : public ::testing::Test {
  protected:
    void SetUp() override { window.events = &form; }
    void PutImage(std::size_t size = 80) {
        test::WriteFile(dir.path() / "Velt-USB.bin", test::PatternBytes(size));
    }
    void Start() {
        form.Form_Load();
        form.Form_Activate();
    }
    // Every device object is let go and the window is gone with this status, once.
    void ExpectClosedWith(int status) {
        form.Form_Terminate();
        EXPECT_EQ(window.exitStatus, status);
        EXPECT_EQ(window.unloadCalls, 1);
        EXPECT_EQ(bus.openDeviceCount(), 0U);
    }

    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    test::TempDir dir;
    FakeWindow window;
    FrmMain form{window, bus, clock, dir.str()};
};

TEST(FileExistsTest, AnythingPresentCounts) {
    test::TempDir dir;
    EXPECT_TRUE(FileExists(dir.str()));
    EXPECT_FALSE(FileExists((dir.path() / "absent").string()));
    EXPECT_FALSE(FileExists((dir.path() / "absent" / "deeper").string()));
    EXPECT_FALSE(FileExists(""));
}

TEST_F(FrmMainTest, MissingImageIsReportedOnceAndNothingIsOpened) {
    bus.AddVelt({});
    Start();
    form.Form_Activate();  // a box closing brings focus back: nothing more is shown
    EXPECT_TRUE(form.fileMissing);
    EXPECT_FALSE(window.shown);
    ASSERT_EQ(window.boxes.size(), 1U);
    EXPECT_EQ(window.boxes[0].text, "Cannot find Velt-USB.bin");
    EXPECT_EQ(window.boxes[0].title, "File Error");
    EXPECT_EQ(window.boxes[0].style, 16);
    EXPECT_TRUE(bus.calls().empty());
    ExpectClosedWith(1);
}

TEST_F(FrmMainTest, StartUpShowsTheDeviceAndTheCloseBoxUnloadsAtOnce) {
    PutImage();
    bus.AddVelt({.version = 0x0110});
    window.widths[Control::Pic] = 5054.5F;  // half to even
    Start();
    EXPECT_EQ(form.progressFullWidth, 5054);
    EXPECT_FALSE(window.visible[Control::Pic]);
    EXPECT_EQ(window.captions[Control::lblManuf], " Velt Instruments");
    EXPECT_EQ(window.captions[Control::lblProduct], " Velt-USB");
    EXPECT_EQ(window.captions[Control::lblVersion], " 1.10");
    EXPECT_EQ(window.captions[Control::lblSerialNumber], " VU-000123");
    EXPECT_TRUE(window.boxes.empty());
    form.Form_CloseRequest();
    ExpectClosedWith(0);
}

TEST_F(FrmMainTest, WithoutADeviceTheLabelsAreBlankClicksAreIgnoredAndARefusedOneIsNamed) {
    PutImage();
    sim::FailureInjection denied;
    denied.open = DeviceErrorKind::PermissionDenied;
    const std::string path = bus.AddDevice({}, denied);
    Start();
    form.btnUpgradeFW_Click();
    EXPECT_EQ(window.captions[Control::lblVersion], " ");
    EXPECT_TRUE(window.enabled[Control::btnUpgradeFW]);
    EXPECT_FALSE(window.exitStatus.has_value());
    ASSERT_EQ(window.boxes.size(), 1U);
    EXPECT_EQ(window.boxes[0].title, "Permission Error");
    EXPECT_NE(window.boxes[0].text.find(path), std::string::npos);
    EXPECT_NE(window.boxes[0].text.find("70-velt-usb.rules"), std::string::npos);
}

TEST_F(FrmMainTest, AnUpdateShowsItsStepsGrowsTheBarAndCloses) {
    PutImage(80);
    bus.AddVelt({});
    Start();
    form.btnUpgradeFW_Click();

    EXPECT_EQ(form.outcome(), UpdateOutcome::Success);
    EXPECT_FALSE(window.enabled[Control::btnUpgradeFW]);
    EXPECT_EQ(window.buttonCaptions,
              (std::vector<std::string>{"Switching to bootloader...", "Updating firmware...",
                                        "Finishing..."}));
    // Two records of three steps: 0 when shown, 1/3 and 2/3 of the full width, then 0.
    EXPECT_EQ(window.picWidths,
              (std::vector<float>{0.0F, 5055.0F / 3, static_cast<float>(5055.0 * 2 / 3), 0.0F}));
    EXPECT_TRUE(window.boxes.empty());
    ExpectClosedWith(0);
}

TEST_F(FrmMainTest, FailuresAreShownInABoxWithTheirTitle) {
    const std::pair<std::size_t, std::string> cases[] = {
        {39, "File Error"},  // the image shrank below a record after start-up
        {400, "Update Error"},
    };
    for (const auto& [size, title] : cases) {
        VirtualClock clock;
        sim::SimulatedBus bus{clock};
        bus.AddVelt({}, {.refuseRecord = 2});
        test::TempDir dir;
        test::WriteFile(dir.path() / "Velt-USB.bin", test::PatternBytes(size));
        FakeWindow window;
        FrmMain form{window, bus, clock, dir.str()};
        window.events = &form;
        form.Form_Load();
        form.btnUpgradeFW_Click();
        ASSERT_EQ(window.boxes.size(), 1U);
        EXPECT_EQ(window.boxes[0].title, title);
        EXPECT_EQ(window.picWidths.back(), 0.0F);
        EXPECT_EQ(window.exitStatus, 1);
    }
}

TEST_F(FrmMainTest, CloseCancelsWhileWaitingAndWaitsForTheLastRecordOnceRecordsFlow) {
    PutImage(400);
    const sim::SimulatedVelt& waiting = bus.AddVelt({});
    Start();
    window.onDoEvents = [&] { form.Form_CloseRequest(); };
    form.btnUpgradeFW_Click();
    EXPECT_EQ(form.outcome(), UpdateOutcome::Cancelled);
    EXPECT_TRUE(waiting.records().empty());
    ExpectClosedWith(2);

    // Once records flow, the close waits: every record goes out, and the title says why.
    VirtualClock clock2;
    sim::SimulatedBus bus2{clock2};
    sim::SimulatedVelt& velt = bus2.AddVelt({.productId = protocol::bootloaderProductId});
    FakeWindow window2;
    FrmMain form2{window2, bus2, clock2, dir.str()};
    window2.events = &form2;
    form2.Form_Load();
    window2.onDoEvents = [&] {
        if (!velt.records().empty()) {
            form2.Form_CloseRequest();
        }
    };
    form2.btnUpgradeFW_Click();
    EXPECT_EQ(form2.outcome(), UpdateOutcome::Success);
    EXPECT_EQ(velt.records().size(), 10U);
    EXPECT_EQ(window2.title, "Velt-USB Firmware Update - closes when the update ends");
    EXPECT_EQ(window2.unloadCalls, 1);
}

}  // namespace
}  // namespace velt
