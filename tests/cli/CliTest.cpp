#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "Cli.h"
#include "Clock.h"
#include "PlatformSpy.h"
#include "SimulatedBus.h"
#include "TempDir.h"

namespace velt::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class CliTest : public ::testing::Test {
  protected:
    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        CliEnvironment environment{clock, spy, interrupts, terminal, terminal};
        return RunCli(args, {in, out, err}, environment);
    }

    std::string Image(std::size_t size) {
        image = test::PatternBytes(size);
        test::WriteFile(dir.path() / "fw.bin", image);
        return (dir.path() / "fw.bin").string();
    }

    sim::SimulatedVelt& AddVelt(sim::VeltBehaviour behaviour = {}, sim::DeviceModel model = {}) {
        velt = &bus.AddVelt(model, behaviour);
        // Presses Ctrl-C when the device has taken the given data reports.
        bus.SetReportHook([this](const sim::ReportRecord& report) {
            if (report.productId != bootloaderProductId) {
                if (interruptOnSwitch) {
                    interrupts.Interrupt();
                }
                return;
            }
            const auto taken = static_cast<int>(velt->records().size());
            if (std::count(interruptAt.begin(), interruptAt.end(), taken) > 0) {
                interrupts.Interrupt();
            }
        });
        return *velt;
    }

    std::vector<std::uint8_t> Received() const {
        std::vector<std::uint8_t> bytes;
        for (const auto& record : velt->records()) {
            bytes.insert(bytes.end(), record.begin(), record.end());
        }
        return bytes;
    }

    std::vector<std::uint8_t> ImagePrefix(std::size_t records) const {
        return {image.begin(), image.begin() + static_cast<long>(records * 40)};
    }

    // Every handle the run opened is closed, each once.
    void ExpectAllClosed() {
        EXPECT_EQ(bus.openHandleCount(), 0U);
        EXPECT_EQ(bus.invalidCloses(), 0);
    }

    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    test::PlatformSpy spy{bus};
    Interrupts interrupts;
    bool terminal = false;
    std::istringstream in;
    std::ostringstream out, err;
    test::TempDir dir;
    std::vector<std::uint8_t> image;
    sim::SimulatedVelt* velt = nullptr;
    bool interruptOnSwitch = false;
    std::vector<int> interruptAt;
};

TEST_F(CliTest, FlashOnAPipeWritesTheImageWithoutAskingAndLogsEveryTenth) {
    const std::string path = Image(8000);
    AddVelt();

    EXPECT_EQ(Run({"flash", path}), kExitSuccess) << err.str();

    EXPECT_EQ(Received(), image);
    EXPECT_EQ(velt->modeSwitches(), 1);
    ExpectAllClosed();
    const std::string text = out.str();
    EXPECT_THAT(text, Not(HasSubstr("[y/N]")));
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_THAT(text, HasSubstr("Switching to bootloader...\nUpdating firmware...\n"
                                " 10%  20/200 records  2,000 B/s  0:04 left\n"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '%'), 10);
    EXPECT_THAT(text, HasSubstr("100%  200/200 records  2,000 B/s  0:00 left\nFinishing...\n"
                                "Done: 200 records (8,000 bytes) written to the Velt-USB.\n"));
    EXPECT_EQ(err.str(), "");
}

TEST_F(CliTest, TerminalAsksFirstAndRedrawsOneProgressLine) {
    const std::string path = Image(8000);
    AddVelt();
    terminal = true;

    in.str("n\n");
    EXPECT_EQ(Run({"flash", path}), kExitInterrupted);
    EXPECT_THAT(out.str(), HasSubstr("Flash " + path + " (200 records) to the Velt-USB at " +
                                     velt->path() + "? [y/N] "));
    EXPECT_EQ(velt->modeSwitches(), 0);
    ExpectAllClosed();

    in.clear();
    in.str("y\n");
    EXPECT_EQ(Run({"flash", path}), kExitSuccess) << err.str();
    EXPECT_EQ(Received(), image);
    const std::string text = out.str();
    // One draw per percent from 0% at the first record, each over the last.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 101);
    EXPECT_THAT(text, HasSubstr("\r 50%  100/200 records  2,000 B/s  0:02 left\r"));
    EXPECT_THAT(text, HasSubstr("\r100%  200/200 records  2,000 B/s  0:00 left\nFinishing...\n"));

    // --yes does not ask.
    in.clear();
    in.str("");
    EXPECT_EQ(Run({"--yes", "flash", path}), kExitSuccess);
    EXPECT_THAT(out.str(), Not(HasSubstr("[y/N]")));
}

TEST_F(CliTest, PartRecordAtTheEndIsNamedAndNotSent) {
    const std::string path = Image(8015);
    AddVelt();

    EXPECT_EQ(Run({"flash", path}), kExitSuccess);

    EXPECT_EQ(err.str(), "warning: the last 15 bytes of " + path +
                             " do not fill a 40-byte record and will not be sent\n");
    EXPECT_EQ(Received(), ImagePrefix(200));
}

TEST_F(CliTest, UsageAndImageErrorsExitTwoBeforeTheDeviceIsTouched) {
    AddVelt();
    bus.ClearCalls();
    const std::string tooSmall = Image(39);

    EXPECT_EQ(Run({"flash", tooSmall}), kExitUsage);
    EXPECT_THAT(err.str(), HasSubstr(tooSmall + " is too small: 39 bytes"));
    EXPECT_EQ(Run({"flash", (dir.path() / "missing.bin").string()}), kExitUsage);
    EXPECT_THAT(err.str(), HasSubstr("Cannot find " + (dir.path() / "missing.bin").string()));
    EXPECT_EQ(Run({"flash", dir.str()}), kExitUsage);
    EXPECT_TRUE(bus.calls().empty());

    const std::string good = Image(400);
    EXPECT_EQ(Run({}), kExitUsage);
    EXPECT_EQ(Run({"flash"}), kExitUsage);
    EXPECT_EQ(Run({"erase"}), kExitUsage);
    EXPECT_EQ(Run({"flash", good, "--timeout", "-1"}), kExitUsage);
    EXPECT_EQ(Run({"--simulate", "--product-id", "12345", "list"}), kExitUsage);
    EXPECT_THAT(err.str(), HasSubstr("not a 16-bit hexadecimal number"));
    EXPECT_EQ(velt->modeSwitches(), 0);

    EXPECT_EQ(Run({"--version"}), kExitSuccess);
    EXPECT_EQ(out.str(), "1.01.0001\n");
}

TEST_F(CliTest, ListShowsEachVeltInterfaceAndWhyOneCannotBeOpened) {
    sim::DeviceModel keyboard;
    keyboard.productId = 0x0100;
    bus.AddDevice(keyboard);
    sim::DeviceModel app;
    app.version = 0x010A;
    app.serial.reset();
    bus.AddVelt(app);
    sim::DeviceModel locked;
    locked.productId = bootloaderProductId;
    sim::FailureInjection denied;
    denied.open = true;
    denied.openError = OpenError::PermissionDenied;
    bus.AddDevice(locked, denied);

    EXPECT_EQ(Run({"list"}), kExitSuccess);
    EXPECT_EQ(out.str(),
              "/sim/hidraw1\n"
              "  mode:           application\n"
              "  vendor:product: 1209:2442\n"
              "  version:        1.A\n"
              "  manufacturer:   Velt Instruments\n"
              "  product:        Velt-USB\n"
              "  serial:         -\n"
              "  feature report: 41 bytes\n"
              "/sim/hidraw2\n"
              "  mode:           bootloader\n"
              "  product ID:     b038\n"
              "  cannot open:    permission denied\n"
              "  hint:           install the udev rule 70-velt-usb.rules and replug the device; "
              "see the README, section \"Permissions\"\n");
    ExpectAllClosed();

    // Only the locked one left: nothing usable, and flash says why.
    bus.Unplug("/sim/hidraw1");
    EXPECT_EQ(Run({"list"}), kExitNoDevice);
    EXPECT_THAT(out.str(), HasSubstr("70-velt-usb.rules"));
    EXPECT_EQ(Run({"flash", Image(400)}), kExitNoDevice);
    EXPECT_THAT(err.str(), HasSubstr("no Velt-USB found\n  /sim/hidraw2: permission denied\n"
                                     "  hint: install the udev rule 70-velt-usb.rules"));
    ExpectAllClosed();
}

TEST_F(CliTest, WaitPollsUntilADeviceAppearsOrTheLimitOrCtrlC) {
    const std::string path = Image(400);
    EXPECT_EQ(Run({"flash", path}), kExitNoDevice);

    EXPECT_EQ(Run({"flash", "--wait=2", path}), kExitNoDevice);
    EXPECT_EQ(clock.NowMs(), 2000U);

    int lists = 0;
    spy.onList = [&] {
        if (++lists == 5) {
            AddVelt();
        }
    };
    const std::uint64_t start = clock.NowMs();
    EXPECT_EQ(Run({"flash", "--wait", path}), kExitSuccess) << err.str();
    EXPECT_EQ(Received(), image);
    EXPECT_GE(clock.NowMs() - start, 400U);

    bus.Unplug(velt->path());
    lists = 0;
    spy.onList = [&] {
        if (++lists == 3) {
            interrupts.Interrupt();
        }
    };
    EXPECT_EQ(Run({"flash", "--wait", path}), kExitInterrupted);
    EXPECT_EQ(lists, 3);
}

TEST_F(CliTest, BootloaderThatNeverComesBackTimesOut) {
    const std::string path = Image(400);
    sim::VeltBehaviour ignores;
    ignores.ignoreSwitch = true;
    AddVelt(ignores);

    EXPECT_EQ(Run({"flash", "--timeout", "2", path}), kExitTimedOut);
    EXPECT_GE(clock.NowMs(), 2000U);
    EXPECT_LT(clock.NowMs(), 2300U);
    EXPECT_THAT(err.str(), HasSubstr("timed out"));
    EXPECT_TRUE(velt->records().empty());
    ExpectAllClosed();

    const std::uint64_t start = clock.NowMs();
    EXPECT_EQ(Run({"flash", path}), kExitTimedOut);
    EXPECT_GE(clock.NowMs() - start, 30000U);
    EXPECT_LT(clock.NowMs() - start, 30300U);
}

TEST_F(CliTest, SlowBootloaderIsWaitedForWithoutTimeout) {
    const std::string path = Image(400);
    sim::VeltBehaviour slow;
    slow.reenumerateMs = 45000;
    AddVelt(slow);

    EXPECT_EQ(Run({"flash", "--timeout", "0", path}), kExitSuccess) << err.str();
    EXPECT_EQ(Received(), image);
}

TEST_F(CliTest, RefusedRecordFailsTheUpdate) {
    const std::string path = Image(400);
    sim::VeltBehaviour refuses;
    refuses.refuseRecord = 3;
    AddVelt(refuses);

    EXPECT_EQ(Run({"flash", path}), kExitUpdateFailed);
    EXPECT_THAT(err.str(), HasSubstr("Update Error: The device refused record 3 of 10."));
    EXPECT_EQ(Received(), ImagePrefix(2));
    ExpectAllClosed();
}

TEST_F(CliTest, CtrlCWhileWaitingForTheBootloaderCancels) {
    const std::string path = Image(400);
    AddVelt();
    interruptOnSwitch = true;

    EXPECT_EQ(Run({"flash", path}), kExitInterrupted);
    EXPECT_EQ(velt->modeSwitches(), 1);
    EXPECT_TRUE(velt->records().empty());
    EXPECT_THAT(err.str(), HasSubstr("Cancelled. No firmware was written."));
    ExpectAllClosed();
}

TEST_F(CliTest, CtrlCInTheTransferFinishesItAndASecondStopsAtARecord) {
    const std::string path = Image(8000);
    AddVelt();
    interruptAt = {10};
    EXPECT_EQ(Run({"flash", path}), kExitSuccess);
    EXPECT_EQ(Received(), image);
    EXPECT_THAT(err.str(), HasSubstr("the transfer will finish"));

    bus.Unplug(velt->path());
    AddVelt();
    interruptAt = {10, 30};
    EXPECT_EQ(Run({"flash", path}), kExitInterrupted);
    // Whole records only, the image's first ones.
    EXPECT_EQ(Received(), ImagePrefix(30));
    EXPECT_THAT(err.str(), HasSubstr("stopped after 30 of 200 records"));
    ExpectAllClosed();
}

TEST_F(CliTest, SimulateRunsOnItsOwnBusAndPrintsTheResultLine) {
    const std::string path = Image(400);

    EXPECT_EQ(Run({"--simulate", "--refuse-record", "3", "-v", "flash", path}), kExitUpdateFailed);
    EXPECT_THAT(out.str(), HasSubstr("\nsimulated device: mode-switches=1 records=2 bytes=80 "));
    EXPECT_THAT(out.str(), testing::EndsWith(" result=failure\n"));
    EXPECT_THAT(err.str(), HasSubstr("hid: Open /sim/hidraw0 -> handle "));
    EXPECT_THAT(err.str(), HasSubstr("hid: SetFeature "));
    EXPECT_TRUE(bus.calls().empty()) << "the given platform is not used";

    EXPECT_EQ(Run({"--simulate", "--no-device", "list"}), kExitNoDevice);
    EXPECT_THAT(out.str(), testing::EndsWith(" result=none\n"));
}

}  // namespace
}  // namespace velt::cli
