#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/FrmMain.h"
#include "app/IdentityDisplay.h"
#include "device/PlatformWords.h"
#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/TempDir.h"
#include "update/FirmwareImage.h"

namespace velt {
namespace {

using test::FakeWindow;

// The window's logic on a fake window and a simulated bus, with an image beside it.
struct Rig {
    explicit Rig(std::size_t imageSize = 80, std::string argument = {}) : argument(argument) {
        window.events = &form;
        if (imageSize > 0) {
            test::WriteFile(dir.path() / "Velt-USB.bin", test::PatternBytes(imageSize));
        }
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
    std::string argument;  // the image the user named, if any
    sim::BusMonitor monitor{bus, clock};
    FrmMain form{window, bus, clock, dir.str(), argument, &monitor};
};

class FrmMainTest : public ::testing::Test, public Rig {};

TEST(FrmMain, MissingImageIsReportedOnceAndNothingIsOpened) {
    Rig r(0);
    r.bus.AddVelt({});
    r.Start();
    r.form.Form_Activate();  // a box closing brings focus back: nothing more is shown
    EXPECT_TRUE(r.form.fileMissing);
    EXPECT_FALSE(r.window.shown);
    EXPECT_FALSE(r.window.visible[Control::Pic]);  // no full bar behind the box
    EXPECT_EQ(r.window.timerMs, 0U);
    ASSERT_EQ(r.window.boxes.size(), 1U);
    EXPECT_EQ(r.window.boxes[0].text, "Cannot find Velt-USB.bin");
    EXPECT_EQ(r.window.boxes[0].title, "File Error");
    EXPECT_EQ(r.window.boxes[0].style, 16);
    EXPECT_TRUE(r.bus.calls().empty());
    r.ExpectClosedWith(1);
}

// An image that is there but out of reach is described as the command line describes it.
TEST(FrmMain, AnImagePathThroughAFileIsNotCalledMissing) {
    test::TempDir elsewhere;
    test::WriteFile(elsewhere.path() / "file.bin", test::PatternBytes(80));
    const std::string through = elsewhere.str() + "/file.bin/x";
    Rig r(80, through);
    r.Start();
    ASSERT_EQ(r.window.boxes.size(), 1U);
    EXPECT_EQ(r.window.boxes[0].title, "File Error");
    const ImageLoad load = LoadFirmwareImage(through, through);
    // Windows calls such a path not found; POSIX says why it cannot be.
    if (std::filesystem::path::preferred_separator == '/') {
        EXPECT_EQ(load.message, through + " cannot be read: Not a directory.");
    }
    EXPECT_EQ(r.window.boxes[0].text, load.missing ? "Cannot find " + through : load.message);
    r.ExpectClosedWith(1);
}

// The file the user named wins over the one beside the program, and messages name it.
TEST(FrmMain, AnImageNamedByTheUserIsTheOneSentAndMessagesNameIt) {
    test::TempDir elsewhere;
    // The program's strings are UTF-8, whatever the system's code page.
    const std::filesystem::path file = elsewhere.path() / u8"Прошивка v2.bin";
    const std::u8string utf8 = file.u8string();
    const std::string named(utf8.begin(), utf8.end());
    Rig missing(400, named);
    missing.Start();
    ASSERT_EQ(missing.window.boxes.size(), 1U);
    EXPECT_EQ(missing.window.boxes[0].text, "Cannot find " + named);

    test::WriteFile(file, test::PatternBytes(80));
    Rig r(400, named);
    const sim::SimulatedVelt& velt = r.bus.AddVelt({});
    r.Start();
    r.form.btnUpgradeFW_Click();
    EXPECT_EQ(velt.firmware(), test::PatternBytes(80));
    r.ExpectClosedWith(0);
}

// After the switch the window takes back the device it switched, at its location, not
// another Velt-USB already waiting in its bootloader.
TEST_F(FrmMainTest, TheUpdateFollowsTheSwitchedDeviceByItsLocation) {
    const sim::SimulatedVelt& first = bus.AddVelt({});
    const sim::SimulatedVelt& waiting = bus.AddVelt({.productId = protocol::bootloaderProductId});
    Start();
    form.btnUpgradeFW_Click();
    EXPECT_EQ(first.firmware(), test::PatternBytes(80));
    EXPECT_TRUE(waiting.reports().empty());
    ExpectClosedWith(0);
}

TEST_F(FrmMainTest, StartUpShowsTheDeviceAndTheCloseBoxUnloadsAtOnce) {
    bus.AddVelt({.version = 0x0110});
    window.widths[Control::Pic] = 5054.5F;  // half to even
    Start();
    EXPECT_EQ(form.progressFullWidth, 5054);
    EXPECT_FALSE(window.visible[Control::Pic]);
    EXPECT_EQ(window.captions[Control::lblVersion], " 1.10");
    EXPECT_EQ(window.captions[Control::lblSerialNumber], " VU-000123");
    EXPECT_TRUE(window.boxes.empty());
    form.Form_CloseRequest();
    ExpectClosedWith(0);
}

TEST_F(FrmMainTest, WithoutADeviceTheLabelsAreBlankClicksAreIgnoredAndARefusedOneIsNamed) {
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
    EXPECT_NE(window.boxes[0].text.find(PermissionAdvice()), std::string::npos);
}

// The idle window's timer follows the bus: a Velt-USB plugged in later shows at the first
// tick after, and can be updated; unplugged, the labels go blank; back but refused at first
// (its permissions not set yet), it is tried again on the next ticks.
TEST_F(FrmMainTest, TheIdleWindowFollowsAVeltUsbPluggedInAndOutLater) {
    sim::SimulatedVelt& velt = bus.PlugVeltAt(2000, {.serial = "VU-LATE"});
    Start();
    ASSERT_EQ(window.timerMs, 250U);
    const auto tick = [&] {
        clock.Advance(window.timerMs);
        form.tmrDevices_Timer();
    };
    while (clock.NowMs() < 1750) {
        tick();
    }
    EXPECT_EQ(window.captions[Control::lblSerialNumber], "");
    tick();
    EXPECT_EQ(window.captions[Control::lblSerialNumber], " VU-LATE");
    EXPECT_EQ(window.captions[Control::lblVersion], " 1.2");

    bus.Unplug(velt.path());
    tick();
    EXPECT_EQ(window.captions[Control::lblSerialNumber], "");
    EXPECT_EQ(window.captions[Control::lblVersion], " ");
    EXPECT_EQ(bus.openDeviceCount(), 0U);

    bus.Replug(velt);
    bus.SetFailures(velt.path(), {.open = DeviceErrorKind::PermissionDenied});
    tick();
    EXPECT_EQ(window.captions[Control::lblSerialNumber], "");
    bus.SetFailures(velt.path(), {});
    tick();
    EXPECT_EQ(window.captions[Control::lblSerialNumber], " VU-LATE");
    form.btnUpgradeFW_Click();
    EXPECT_EQ(velt.firmware(), test::PatternBytes(80));
    ExpectClosedWith(0);
}

TEST_F(FrmMainTest, AnUpdateShowsItsStepsGrowsTheBarAndCloses) {
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

TEST(FrmMain, FailuresAreShownInABoxWithTheirTitle) {
    const std::pair<std::size_t, std::string> cases[] = {
        {39, "File Error"},  // the image shrank below a record after start-up
        {400, "Update Error"},
    };
    for (const auto& [size, title] : cases) {
        Rig r(size);
        r.bus.AddVelt({}, {.refuseRecord = 2});
        r.Start();
        r.form.btnUpgradeFW_Click();
        ASSERT_EQ(r.window.boxes.size(), 1U);
        EXPECT_EQ(r.window.boxes[0].title, title);
        EXPECT_EQ(r.window.picWidths.back(), 0.0F);
        r.ExpectClosedWith(1);
    }
}

TEST(FrmMain, CloseCancelsWhileWaitingAndWaitsForTheLastRecordOnceRecordsFlow) {
    Rig waiting(400);
    const sim::SimulatedVelt& idle = waiting.bus.AddVelt({});
    waiting.Start();
    waiting.window.onDoEvents = [&] { waiting.form.Form_CloseRequest(); };
    waiting.form.btnUpgradeFW_Click();
    EXPECT_EQ(waiting.form.outcome(), UpdateOutcome::Cancelled);
    EXPECT_TRUE(idle.firmware().empty());
    waiting.ExpectClosedWith(2);

    // Once records flow, the close waits: every record goes out, and the title says why.
    Rig writing(400);
    const sim::SimulatedVelt& velt =
        writing.bus.AddVelt({.productId = protocol::bootloaderProductId});
    writing.Start();
    writing.window.onDoEvents = [&] {
        if (velt.records() > 0) {
            writing.form.Form_CloseRequest();
        }
    };
    writing.form.btnUpgradeFW_Click();
    EXPECT_EQ(writing.form.outcome(), UpdateOutcome::Success);
    EXPECT_EQ(velt.records(), 10U);
    EXPECT_EQ(writing.window.title, "Velt-USB Firmware Update - closes when the update ends");
    writing.ExpectClosedWith(0);
}

struct Labels final : IdentityLabels {
    void SetIdentityCaption(IdentityField field, const std::string& text) override {
        captions[field] = text;
    }
    std::map<IdentityField, std::string> captions;
};

TEST(IdentityDisplayTest, LabelsShowTheDeviceOrGoBlankAndAFailedQueryKeepsItsLabel) {
    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    bus.AddVelt({.version = 0x010A, .product = "Прибор"}, {}, {.serial = true});
    OpenDevice velt;
    ASSERT_TRUE(OpenFirstVelt(bus, velt));
    Labels labels;
    labels.captions[IdentityField::SerialNumber] = " old";
    const std::uint64_t start = clock.NowMs();
    ShowDeviceInfo(velt, labels, clock);
    EXPECT_EQ(clock.NowMs() - start, 60U);  // 20 ms before each of the three queries
    EXPECT_EQ(labels.captions[IdentityField::Manufacturer], " Velt Instruments");
    EXPECT_EQ(labels.captions[IdentityField::Product], " Прибор");
    EXPECT_EQ(labels.captions[IdentityField::Version], " 1.A");
    EXPECT_EQ(labels.captions[IdentityField::SerialNumber], " old");

    velt.Close();
    ShowDeviceInfo(velt, labels, clock);
    EXPECT_EQ(labels.captions[IdentityField::Manufacturer], "");
    EXPECT_EQ(labels.captions[IdentityField::Version], " ");
    EXPECT_EQ(labels.captions[IdentityField::SerialNumber], "");
}

}  // namespace
}  // namespace velt
