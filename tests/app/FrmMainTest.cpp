#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Clock.h"
#include "FakeWindow.h"
#include "FrmMain.h"
#include "Layout.h"
#include "PlatformSpy.h"
#include "SimulatedBus.h"
#include "TempDir.h"

namespace velt {
namespace {

using test::FakeWindow;

class FrmMainTest : public ::testing::Test {
  protected:
    void PutImage() { test::WriteFile(dir.path() / "Velt-USB.bin", test::PatternBytes(80)); }

    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    test::PlatformSpy spy{bus};
    test::TempDir dir;
    FakeWindow window{&clock};
    FrmMain form{window, spy, dir.str()};

    void SetUp() override { window.events = &form; }
};

TEST(FileExistsTest, AnythingPresentCounts) {
    test::TempDir dir;
    const auto file = dir.path() / "file";
    test::WriteFile(file, {1, 2, 3});
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    EXPECT_TRUE(FileExists(file.string()));
    EXPECT_TRUE(FileExists(dir.str()));
    EXPECT_FALSE(FileExists((dir.path() / "absent").string()));
    EXPECT_FALSE(FileExists((dir.path() / "absent" / "deeper").string()));
    EXPECT_FALSE(FileExists(""));
}

TEST_F(FrmMainTest, ImagePathIsTheFolderThenTheName) {
    EXPECT_EQ(form.imagePath(), dir.str() + "/Velt-USB.bin");
}

TEST_F(FrmMainTest, MissingImageIsReportedOnceAndNothingIsOpened) {
    bus.AddVelt(sim::DeviceModel{});

    form.Form_Load();
    EXPECT_TRUE(form.fileMissing);
    EXPECT_FALSE(window.shown);
    EXPECT_TRUE(window.visible[Control::Pic]);
    EXPECT_EQ(form.progressFullWidth, 0);
    EXPECT_TRUE(bus.calls().empty());

    form.Form_Activate();
    ASSERT_EQ(window.boxes.size(), 1U);
    EXPECT_EQ(window.boxes[0].text, "Cannot find Velt-USB.bin");
    EXPECT_EQ(window.boxes[0].title, "File Error");
    EXPECT_EQ(window.boxes[0].style, 16);
    EXPECT_EQ(window.exitStatus, 1);

    // Later activations (a box closing, focus coming back) show nothing more.
    form.Form_Activate();
    form.Form_Terminate();
    EXPECT_EQ(window.boxes.size(), 1U);
    EXPECT_TRUE(bus.calls().empty());
    EXPECT_EQ(window.captions[Control::lblManuf], "");
    EXPECT_EQ(form.outcome(), UpdateOutcome::None);
}

TEST_F(FrmMainTest, StartUpShowsTheWindowHidesTheBarThenShowsTheDevice) {
    PutImage();
    sim::DeviceModel model;
    model.version = 0x0110;
    bus.AddVelt(model);
    bool picHiddenAtSearch = false;
    bool shownAtSearch = false;
    spy.onList = [&] {
        picHiddenAtSearch = !window.visible[Control::Pic];
        shownAtSearch = window.shown;
    };

    form.Form_Load();
    EXPECT_FALSE(form.fileMissing);
    EXPECT_TRUE(picHiddenAtSearch);
    EXPECT_TRUE(shownAtSearch);
    EXPECT_EQ(form.progressFullWidth, 5055);
    EXPECT_TRUE(form.state.deviceFound);
    EXPECT_EQ(window.captions[Control::lblManuf], " Velt Instruments");
    EXPECT_EQ(window.captions[Control::lblProduct], " Velt-USB");
    EXPECT_EQ(window.captions[Control::lblVersion], " 1.10");
    EXPECT_EQ(window.captions[Control::lblSerialNumber], " VU-000123");

    form.Form_Activate();
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_FALSE(window.exitStatus.has_value());

    // The close box while idle unloads at once; the handles are closed exactly once.
    form.Form_CloseRequest();
    EXPECT_EQ(window.exitStatus, 0);
    form.Form_Terminate();
    EXPECT_EQ(bus.openHandleCount(), 0U);
    EXPECT_EQ(bus.invalidCloses(), 0);
    EXPECT_EQ(window.unloadCalls, 1);
}

TEST_F(FrmMainTest, FullWidthRoundsHalfToEven) {
    PutImage();
    window.widths[Control::Pic] = 5054.5F;
    form.Form_Load();
    EXPECT_EQ(form.progressFullWidth, 5054);
    FrmMain second{window, bus, dir.str()};
    window.widths[Control::Pic] = 5055.5F;
    second.Form_Load();
    EXPECT_EQ(second.progressFullWidth, 5056);
}

TEST_F(FrmMainTest, NoDeviceLeavesBlankLabelsAndIgnoresClicks) {
    PutImage();
    bus.AddDevice(sim::DeviceModel{.productId = 0x1234});
    form.Form_Load();
    form.Form_Activate();
    EXPECT_FALSE(form.state.deviceFound);
    EXPECT_EQ(window.captions[Control::lblVersion], " ");
    const auto callsBefore = bus.calls().size();

    form.btnUpgradeFW_Click();
    form.btnUpgradeFW_Click();
    EXPECT_TRUE(window.enabled[Control::btnUpgradeFW]);
    EXPECT_EQ(window.captions[Control::btnUpgradeFW], "Update Firmware");
    EXPECT_EQ(bus.calls().size(), callsBefore);
    EXPECT_FALSE(window.exitStatus.has_value());
    EXPECT_EQ(form.outcome(), UpdateOutcome::None);
}

TEST_F(FrmMainTest, AMatchingDeviceThatMayNotBeOpenedIsNamedOnce) {
    PutImage();
    sim::FailureInjection denied;
    denied.open = true;
    denied.openError = OpenError::PermissionDenied;
    const std::string path = bus.AddDevice(sim::DeviceModel{}, denied);

    form.Form_Load();
    form.Form_Activate();
    form.Form_Activate();
    ASSERT_EQ(window.boxes.size(), 1U);
    EXPECT_EQ(window.boxes[0].style, 16);
    EXPECT_NE(window.boxes[0].text.find(path), std::string::npos);
    EXPECT_NE(window.boxes[0].text.find("70-velt-usb.rules"), std::string::npos);
    EXPECT_FALSE(window.exitStatus.has_value());
}

}  // namespace
}  // namespace velt
