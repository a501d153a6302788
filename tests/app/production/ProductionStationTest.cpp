#include "app/production/ProductionStation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "app/production/ProductionOptions.h"
#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "device/simulated/SimulatedSetup.h"
#include "line/FlashRecord.h"
#include "platform/AppendFile.h"
#include "platform/Clock.h"
#include "platform/Sha256.h"
#include "tests/support/NoLocations.h"
#include "tests/support/TempDir.h"

namespace velt::production {
namespace {

using ::testing::HasSubstr;

// A window that keeps what it was last told and answers its questions as set.
struct FakeProductionWindow final : ProductionWindow {
    void ShowSetup(const Setup& shown) override { setup = shown; }
    void ShowArmed(bool isArmed, bool armable) override {
        armed = isArmed;
        canArm = armable;
    }
    void ShowTiles(const std::vector<Tile>& shown) override {
        tiles = shown;
        ++tileShows;
        for (const Tile& tile : shown) {
            statesSeen.insert(tile.state);
        }
    }
    void ShowCounters(const Counters& shown) override { counters = shown; }
    void ShowStatus(const std::string& text) override { status = text; }
    void Alert(const std::string& text, const std::string& title) override {
        alerts.push_back(title + ": " + text);
    }
    bool Ask(const std::string& question, const std::string&) override {
        questions.push_back(question);
        return answer;
    }
    void StartTimer(std::uint32_t intervalMs) override { timerMs = intervalMs; }
    void Close(int exitStatus) override { closed = exitStatus; }

    Setup setup;
    bool armed = false, canArm = false, answer = true;
    std::vector<Tile> tiles;
    int tileShows = 0;
    std::set<TileState> statesSeen;
    Counters counters;
    std::string status;
    std::vector<std::string> alerts, questions;
    std::uint32_t timerMs = 0;
    std::optional<int> closed;
};

class ProductionStationTest : public ::testing::Test {
  protected:
    // The station as a production program starts it from `args` (the image first), on the
    // simulated bus they set up, seen with its USB locations or, like wine's, without.
    void Start(std::vector<std::string> args, bool locations = true) {
        // The test is the window's thread: the devices' threads move the clock on only while
        // it sleeps between timer calls.
        clock.ThreadStarted();
        args.insert(args.begin(), {"velt-usb-production", path, "--simulate"});
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        std::ostringstream out, err;
        ASSERT_EQ(
            ParseProductionOptions(static_cast<int>(argv.size()), argv.data(), options, out, err),
            std::nullopt)
            << err.str();
        velts = sim::PopulateBus(bus, options.bus);
        station = std::make_unique<ProductionStation>(
            window, locations ? static_cast<HidBackend&>(bus) : unlocated, clock, &monitor,
            production::Setup{options.image, "", options.expectSha256, options.record,
                              options.station, options.expected},
            options.arm);
        station->OnLoad();
    }

    // The window's timer, every 100 ms of the virtual clock, until `done` or a minute.
    bool RunUntil(const std::function<bool()>& done) {
        const std::uint64_t end = clock.NowMs() + 60'000;
        while (!done() && clock.NowMs() < end) {
            station->OnTimer();
            clock.SleepMs(window.timerMs);
        }
        return done();
    }
    void RunFor(std::uint64_t ms) {
        const std::uint64_t end = clock.NowMs() + ms;
        RunUntil([&] { return clock.NowMs() >= end; });
    }
    int Ended() const { return window.counters.passed + window.counters.failed; }
    bool TileIs(std::size_t index, TileState state) const {
        return window.tiles.size() > index && window.tiles[index].state == state;
    }

    std::vector<line::Json> RecordEntries() const {
        std::vector<line::Json> entries;
        line::RecordReader reader(record);
        line::RecordVisitor visit{
            [&](std::size_t, std::string_view, const line::Json& entry) {
                entries.push_back(entry);
            },
            [](std::size_t line) { ADD_FAILURE() << "damaged line " << line; },
            {}};
        reader.ReadOn(visit, true);
        return entries;
    }

    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    test::NoLocations unlocated{bus};
    sim::BusMonitor monitor{bus, clock};
    FakeProductionWindow window;
    ProductionOptions options;
    std::vector<sim::SimulatedVelt*> velts;
    std::unique_ptr<ProductionStation> station;
    test::TempDir dir;
    const std::vector<std::uint8_t> image = test::PatternBytes(100 * 40);
    const std::string path = (dir.path() / "fw.bin").string();
    const std::string record = (dir.path() / "record.jsonl").string();
    void SetUp() override { test::WriteFile(path, image); }
    void TearDown() override {
        clock.ThreadEnded();
        station.reset();
    }
};

TEST_F(ProductionStationTest, EveryDevicePluggedInPassesOnItsTileAndTheRecordNamesTheStation) {
    Start({"--devices", "1", "--plug-ms", "2000", "--plug-ms", "2500", "--plug-ms", "9000",
           "--record", record, "--station", "Bench 3", "--expected", "4", "--reboot-after-ms",
           "1000", "--arm"});
    EXPECT_EQ(window.timerMs, 100U);
    EXPECT_TRUE(window.armed);
    EXPECT_THAT(window.setup.imageFacts,
                HasSubstr("4,000 bytes, 100 records, SHA-256 " + Sha256Hex(image)));
    ASSERT_TRUE(RunUntil([&] { return window.counters.passed == 4; })) << window.status;
    // Rebooting into the new firmware is no new device: the tiles keep their PASS.
    RunFor(8000);
    EXPECT_EQ(velts[3]->productId(), protocol::applicationProductId);
    ASSERT_EQ(window.tiles.size(), 4U);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(window.tiles[k].location, "1-" + std::to_string(k + 1));
        EXPECT_EQ(window.tiles[k].state, TileState::Passed) << k;
        EXPECT_EQ(window.tiles[k].versionBefore, "1.2");
        EXPECT_EQ(velts[k]->firmware(), image) << k;
    }
    EXPECT_EQ(window.counters.alreadyDone, 0);
    EXPECT_EQ(window.counters.failed, 0);
    EXPECT_EQ(window.counters.expected, 4);
    EXPECT_TRUE(window.statesSeen.count(TileState::Waiting) &&
                window.statesSeen.count(TileState::Writing));
    EXPECT_EQ(window.status, "Armed: waiting for Velt-USBs");
    const std::vector<line::Json> entries = RecordEntries();
    ASSERT_EQ(entries.size(), 4U);
    std::set<std::string> serials;
    for (const line::Json& entry : entries) {
        EXPECT_EQ(entry.at("station"), "Bench 3");
        EXPECT_EQ(entry.at("result"), "success");
        EXPECT_EQ(entry.at("sha256"), Sha256Hex(image));
        serials.insert(entry.at("serial").get<std::string>());
    }
    EXPECT_EQ(serials.size(), 4U);
    // Nothing changes, nothing is shown again.
    const int shows = window.tileShows;
    RunFor(3000);
    EXPECT_EQ(window.tileShows, shows);
}

TEST_F(ProductionStationTest, WithoutLocationsATileIsKnownByItsDevicesSerialNumber) {
    // The path changes at the mode switch and at the reboot; the serial number does not.
    Start({"--devices", "2", "--reboot-after-ms", "1000", "--arm"}, false);
    ASSERT_TRUE(RunUntil([&] { return window.counters.passed == 2; })) << window.status;
    RunFor(3000);
    ASSERT_EQ(window.tiles.size(), 2U);
    EXPECT_EQ(window.tiles[0].location, "serial VU-000123");
    EXPECT_EQ(window.tiles[1].location, "serial VU-000124");
    EXPECT_TRUE(TileIs(0, TileState::Passed) && TileIs(1, TileState::Passed));
    bus.Unplug(velts[0]->path());
    RunFor(6000);
    bus.Replug(*velts[0]);
    ASSERT_TRUE(RunUntil([&] { return window.counters.alreadyDone == 1; }));
    EXPECT_EQ(window.tiles[0].location, "serial VU-000123");
    EXPECT_EQ(window.tiles.size(), 2U);
}

TEST_F(ProductionStationTest, AFailureSaysWhyInAFewWordsAndAnUnpluggedDevicesTileIsTakenAgain) {
    Start({"--devices", "2", "--refuse-record", "5@1", "--arm"});
    ASSERT_TRUE(RunUntil([&] { return Ended() == 2; }));
    ASSERT_EQ(window.tiles.size(), 2U);
    EXPECT_EQ(window.tiles[0].state, TileState::Failed);
    EXPECT_EQ(window.tiles[0].reason, "record refused");
    EXPECT_EQ(window.tiles[1].state, TileState::Passed);
    EXPECT_EQ(window.counters.failed, 1);
    EXPECT_EQ(window.counters.passed, 1);

    // The result stays while the device is there, and goes with it.
    RunFor(10'000);
    EXPECT_TRUE(TileIs(0, TileState::Failed));
    bus.Unplug(velts[0]->path());
    ASSERT_TRUE(RunUntil([&] { return TileIs(0, TileState::Free); }));
    EXPECT_TRUE(TileIs(1, TileState::Passed));
    sim::DeviceModel fresh;
    fresh.serial = "VU-900001";
    fresh.location = "1-7";
    bus.PlugVeltAt(clock.NowMs(), fresh);
    ASSERT_TRUE(RunUntil([&] { return TileIs(0, TileState::Passed); }));
    EXPECT_EQ(window.tiles[0].location, "1-7");
    EXPECT_EQ(window.tiles[0].serial, "VU-900001");
    EXPECT_EQ(window.tiles.size(), 2U);
    EXPECT_EQ(window.counters.passed, 2);
}

TEST_F(ProductionStationTest, ADeviceDoneIsLeftAloneAsTheRecordOrThisSessionSays) {
    // The record has the first device flashed whole with this image, by another station.
    line::FlashRecordEntry done;
    done.time = "2026-12-07T10:00:00Z";
    done.sha256 = Sha256Hex(image);
    done.device = "1-1";
    done.serial = "VU-000123";
    done.result = {{"result", "success"}, {"records", 100}, {"total", 100}};
    ASSERT_EQ(AppendLineDurably(record, line::RecordLine(done)), "");
    Start({"--devices", "2", "--record", record, "--reboot-after-ms", "1000", "--arm"});
    ASSERT_TRUE(RunUntil([&] { return window.counters.passed == 1; }));
    RunFor(2000);
    EXPECT_TRUE(TileIs(0, TileState::AlreadyDone));
    EXPECT_TRUE(TileIs(1, TileState::Passed));
    EXPECT_EQ(velts[0]->modeSwitches(), 0);
    EXPECT_EQ(window.counters.alreadyDone, 1);

    // Plugged in again later: done, as the record now says.
    bus.Unplug(velts[1]->path());
    RunFor(6000);
    bus.Replug(*velts[1]);
    ASSERT_TRUE(RunUntil([&] { return window.counters.alreadyDone == 2; }));
    EXPECT_TRUE(TileIs(1, TileState::AlreadyDone));
    EXPECT_EQ(velts[1]->modeSwitches(), 1);
    EXPECT_EQ(RecordEntries().size(), 2U);
}

TEST_F(ProductionStationTest, WithoutARecordThisSessionDecidesAndABootloaderIsNeverDone) {
    Start({"--devices", "1", "--reboot-after-ms", "1000", "--arm"});
    ASSERT_TRUE(RunUntil([&] { return window.counters.passed == 1; }));
    RunFor(3000);
    EXPECT_EQ(velts[0]->productId(), protocol::applicationProductId);
    EXPECT_EQ(window.counters.alreadyDone, 0);  // back from its reboot: still its PASS
    bus.Unplug(velts[0]->path());
    RunFor(6000);
    EXPECT_TRUE(TileIs(0, TileState::Free));
    bus.Replug(*velts[0]);
    ASSERT_TRUE(RunUntil([&] { return window.counters.alreadyDone == 1; }));
    EXPECT_EQ(velts[0]->modeSwitches(), 1);

    // The same serial number in its bootloader runs no firmware: it is written.
    sim::DeviceModel stuck;
    stuck.productId = protocol::bootloaderProductId;
    stuck.location = "1-5";
    bus.PlugVeltAt(clock.NowMs(), stuck);
    ASSERT_TRUE(RunUntil([&] { return window.counters.passed == 2; }));
    EXPECT_EQ(window.tiles.back().location, "1-5");

    // Disarmed and armed again as it was: what this session did stays done.
    station->OnArmClicked();
    station->OnArmClicked();
    ASSERT_TRUE(window.armed);
    RunFor(5000);
    EXPECT_EQ(window.counters.passed, 2);
    EXPECT_EQ(velts[0]->modeSwitches(), 1);
}

TEST_F(ProductionStationTest, ARecordThatCannotBeWrittenStopsTheStationUntilAcknowledged) {
    const std::filesystem::path folder = dir.path() / "records";
    std::filesystem::create_directory(folder);
    const std::string lost = (folder / "record.jsonl").string();
    Start({"--devices", "1", "--plug-ms", "20000", "--record", lost, "--station", "B", "--arm"});
    ASSERT_TRUE(window.armed);
    std::filesystem::remove_all(folder);  // the share went away
    ASSERT_TRUE(RunUntil([&] { return !window.alerts.empty(); }));
    EXPECT_FALSE(window.armed);
    EXPECT_THAT(window.alerts.front(), HasSubstr("Record Error: "));
    EXPECT_THAT(window.alerts.front(), HasSubstr("could not be written for 1-1 VU-000123"));
    EXPECT_THAT(window.status, HasSubstr("record could not be written"));
    // Flashed but not recorded is no pass.
    ASSERT_TRUE(RunUntil([&] { return TileIs(0, TileState::Failed); }));
    EXPECT_EQ(window.tiles[0].reason, "flashed, not recorded");
    EXPECT_EQ(window.counters.passed, 0);
    // The device plugged in later is never touched.
    RunFor(30'000);
    EXPECT_EQ(velts[1]->modeSwitches(), 0);
    EXPECT_EQ(window.tiles.size(), 1U);
    EXPECT_EQ(window.alerts.size(), 1U);
    station->OnCloseRequest();
    EXPECT_EQ(window.closed, 1);
}

TEST_F(ProductionStationTest, TheSetUpIsCheckedBeforeArmingAndLockedWhileArmed) {
    const std::string bad = (dir.path() / "empty.bin").string();
    test::WriteFile(bad, {});
    Start({"--devices", "1", "--record", record, "--expect-sha256", std::string(64, 'a')});
    EXPECT_TRUE(window.canArm);
    station->OnArmClicked();
    EXPECT_FALSE(window.armed);
    ASSERT_EQ(window.alerts.size(), 1U);
    EXPECT_THAT(window.alerts[0], HasSubstr("Image Mismatch: "));
    EXPECT_THAT(window.alerts[0], HasSubstr(Sha256Hex(image)));

    station->OnImageChosen(bad);
    EXPECT_FALSE(window.canArm);
    EXPECT_NE(window.setup.imageFacts.find("empty"), std::string::npos) << window.setup.imageFacts;
    station->OnArmClicked();
    EXPECT_FALSE(window.armed);

    production::Setup setup = window.setup;
    setup.image = path;
    setup.expectedSha256 = Sha256Hex(image);
    setup.station = "Line 2";
    station->OnSetupEdited(setup);
    station->OnArmClicked();
    ASSERT_TRUE(window.armed);
    setup.station = "changed while armed";
    station->OnSetupEdited(setup);
    ASSERT_TRUE(RunUntil([&] { return TileIs(0, TileState::Writing); }));
    station->OnArmClicked();  // refused while writing, without asking
    EXPECT_TRUE(window.armed);
    EXPECT_TRUE(window.questions.empty());
    EXPECT_THAT(window.alerts.back(), HasSubstr("being written"));
    ASSERT_TRUE(RunUntil([&] { return window.counters.passed == 1; }));
    window.answer = false;
    station->OnArmClicked();
    EXPECT_TRUE(window.armed);
    window.answer = true;
    station->OnArmClicked();
    EXPECT_FALSE(window.armed);
    EXPECT_EQ(window.questions, std::vector<std::string>(2, "Disarm the station?"));
    const std::vector<line::Json> entries = RecordEntries();
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(entries[0].at("station"), "Line 2");
}

TEST_F(ProductionStationTest, ClosingWhileWritingFinishesThatDeviceAndLetsAWaitingOneGo) {
    Start({"--devices", "1", "--arm"});
    ASSERT_TRUE(RunUntil([&] { return TileIs(0, TileState::Writing); }));
    sim::DeviceModel later;
    later.serial = "VU-555";
    sim::SimulatedVelt& waiting = bus.PlugVeltAt(clock.NowMs(), later);
    ASSERT_TRUE(RunUntil([&] { return TileIs(1, TileState::Waiting); }));
    station->OnCloseRequest();
    EXPECT_FALSE(window.closed);
    station->OnTimer();
    EXPECT_EQ(window.status, "Closing once the Velt-USBs being written are done");
    ASSERT_TRUE(RunUntil([&] { return window.closed.has_value(); }));
    EXPECT_EQ(window.closed, 0);
    EXPECT_TRUE(TileIs(0, TileState::Passed));
    EXPECT_TRUE(TileIs(1, TileState::Failed));
    EXPECT_EQ(window.tiles[1].reason, "cancelled");
    EXPECT_EQ(velts[0]->firmware(), image);
    EXPECT_NE(waiting.firmware(), image);
}

TEST(ProductionOptionsTest, HelpAndBadValuesEndTheProgramAndTheRestIsKept) {
    const auto parse = [](std::vector<std::string> args, ProductionOptions& options,
                          std::string& said) {
        args.insert(args.begin(), "velt-usb-production");
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        std::ostringstream out, err;
        const auto status =
            ParseProductionOptions(static_cast<int>(argv.size()), argv.data(), options, out, err);
        said = out.str() + err.str();
        return status;
    };
    ProductionOptions options;
    std::string said;
    EXPECT_EQ(parse({"--help"}, options, said), 0);
    EXPECT_THAT(said, HasSubstr("--expect-sha256"));
    EXPECT_EQ(parse({"--expected", "0"}, options, said), 2);
    EXPECT_THAT(said, HasSubstr("--expected"));
    EXPECT_EQ(parse({"--refuse-record", "x@1"}, options, said), 2);
    ProductionOptions kept;
    EXPECT_EQ(parse({"fw.bin", "--station", "A", "--device-version", "0103", "--close-after-ms",
                     "500", "--screenshot", "s.png"},
                    kept, said),
              std::nullopt);
    EXPECT_EQ(kept.image, "fw.bin");
    EXPECT_EQ(kept.station, "A");
    EXPECT_EQ(kept.bus.model.version, 0x0103);
    EXPECT_EQ(kept.closeAfterMs, 500);
    EXPECT_EQ(kept.screenshot, "s.png");
    EXPECT_FALSE(kept.expected);
    EXPECT_FALSE(kept.arm || kept.simulate);
}

}  // namespace
}  // namespace velt::production
