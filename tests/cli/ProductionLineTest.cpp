#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "line/FlashRecord.h"
#include "platform/AppendFile.h"
#include "platform/Clock.h"
#include "platform/Sha256.h"
#include "tests/support/NoLocations.h"
#include "tests/support/TempDir.h"

namespace velt::cli {
namespace {

using namespace velt::line;

using ::testing::HasSubstr;
using ::testing::Not;

// A line of `text` matches `pattern` (ECMAScript: googletest's own regular expressions are
// too simple on Windows).
bool HasLine(const std::string& text, const std::string& pattern) {
    std::istringstream lines(text);
    const std::regex expression(pattern);
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, expression)) {
            return true;
        }
    }
    return false;
}

// Several Velt-USBs on one simulated bus and a virtual clock that waits for every device's
// thread, so each device's pace is exact.
class ProductionLineTest : public ::testing::Test {
  protected:
    // Does what a person at the bench does, at set times while a watch waits: unplugging,
    // plugging back in, and at last Ctrl-C.
    struct BenchMonitor final : DeviceMonitor {
        explicit BenchMonitor(ProductionLineTest& test) : test(test) {}
        bool WaitForChange(std::uint32_t timeoutMs) override {
            const bool changed = inner.WaitForChange(timeoutMs);
            while (!actions.empty() && test.clock.NowMs() >= actions.front().first) {
                actions.front().second();
                actions.erase(actions.begin());
            }
            return changed;
        }
        ProductionLineTest& test;
        sim::BusMonitor inner{test.bus, test.clock};
        std::vector<std::pair<std::uint64_t, std::function<void()>>> actions;
    };

    int Run(std::vector<std::string> args, bool locations = true) {
        out.str("");
        err.str("");
        test::NoLocations unlocated(bus);
        HidBackend& backend = locations ? static_cast<HidBackend&>(bus) : unlocated;
        CliEnvironment environment{clock, backend, interrupts, false, false, &monitor};
        return RunCli(args, {in, out, err}, environment);
    }

    sim::SimulatedVelt& Add(int number, const sim::VeltBehaviour& behaviour = {}) {
        sim::DeviceModel model;
        model.serial = "SN-" + std::to_string(number);
        return bus.AddVelt(model, behaviour);
    }

    // Every record accepted by the device came at least 20 ms after the one before.
    static void ExpectPaced(const sim::SimulatedVelt& velt) {
        std::uint64_t last = 0;
        for (const sim::ReportRecord& report : velt.reports()) {
            if (report.accepted && report.productId == protocol::bootloaderProductId &&
                report.bytes.size() >= protocol::recordSize && last != 0) {
                EXPECT_GE(report.timeMs - last, 20U) << velt.location();
            }
            last = report.accepted ? report.timeMs : last;
        }
    }

    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    Interrupts interrupts;
    BenchMonitor monitor{*this};
    std::istringstream in;
    std::ostringstream out, err;
    test::TempDir dir;
    const std::vector<std::uint8_t> image = test::PatternBytes(100 * 40);
    const std::string path = (dir.path() / "fw.bin").string();
    void SetUp() override { test::WriteFile(path, image); }
};

TEST_F(ProductionLineTest, AllFlashesEveryDeviceSideBySideEachAtItsOwnPace) {
    std::uint64_t aloneMs = 0;
    for (const int count : {1, 2, 8}) {
        SCOPED_TRACE(count);
        std::vector<sim::SimulatedVelt*> velts;
        for (int number = 1; number <= count; ++number) {
            velts.push_back(&Add(number));
        }
        const std::uint64_t start = clock.NowMs();
        EXPECT_EQ(Run({"flash", "--all", path}), kExitSuccess) << err.str();
        // Side by side: the time of one device, not of eight.
        aloneMs = count == 1 ? clock.NowMs() - start : aloneMs;
        EXPECT_LE(clock.NowMs() - start, aloneMs + 100);
        for (const sim::SimulatedVelt* velt : velts) {
            EXPECT_EQ(velt->firmware(), image) << velt->location();
            EXPECT_EQ(velt->modeSwitches(), 1);
            ExpectPaced(*velt);
            EXPECT_TRUE(
                HasLine(out.str(), velt->location() + " +SN-[0-9] +success +100/100 +0:0[0-9]"));
        }
        EXPECT_THAT(out.str(), HasSubstr("Location"));
        EXPECT_THAT(out.str(), HasSubstr(std::to_string(count) + " of " + std::to_string(count) +
                                         " devices flashed."));
        EXPECT_EQ(bus.openDeviceCount(), 0U);
        for (const sim::SimulatedVelt* velt : velts) {
            bus.Unplug(velt->path());
        }
    }
}

TEST_F(ProductionLineTest, OneDeviceFailingFailsTheRunAndTheTableAndJsonNameIt) {
    sim::SimulatedVelt& first = Add(1);
    sim::VeltBehaviour refusing;
    refusing.refuseRecord = 3;
    sim::SimulatedVelt& second = Add(2, refusing);
    sim::SimulatedVelt& third = Add(3);

    EXPECT_EQ(Run({"flash", "--all", path}), kExitUpdateFailed);
    EXPECT_EQ(first.firmware(), image);
    EXPECT_EQ(third.firmware(), image);
    EXPECT_EQ(second.records(), 2U);
    EXPECT_TRUE(HasLine(
        out.str(), "1-2 +SN-2 +failure +2/100 +0:0[0-9] +The device refused record 3 of 100.*"))
        << out.str();
    EXPECT_THAT(out.str(), HasSubstr("2 of 3 devices flashed, 1 not."));

    for (sim::SimulatedVelt* velt : {&first, &second, &third}) {
        bus.Unplug(velt->path());
    }
    Add(1);
    Add(2, refusing);
    Add(3);
    EXPECT_EQ(Run({"--json", "flash", "--all", path}), kExitUpdateFailed);
    std::istringstream lines(out.str());
    int results = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find(R"("event":"image")") == std::string::npos &&
            line.find(R"("event":"summary")") == std::string::npos) {
            EXPECT_TRUE(HasLine(line, R"(\{"event":"[a-z-]+","device":"1-[456]".*)")) << line;
        }
        results += line.find(R"("event":"result")") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(results, 3);
    EXPECT_THAT(out.str(), HasSubstr(R"("device":"1-5","result":"failure","exit":1)"));
    EXPECT_THAT(out.str(),
                HasSubstr(R"({"event":"summary","devices":3,"succeeded":2,"failed":1,)"));
}

// Ctrl-C after the switch, while the device is away: its row says where it may be now.
TEST_F(ProductionLineTest, ARowCancelledAfterTheSwitchSaysTheDeviceMayBeInItsBootloader) {
    sim::VeltBehaviour slow;
    slow.reenumerateMs = 10'000;
    Add(1, slow);
    bus.SetReportHook([&](const sim::ReportRecord&) { interrupts.Interrupt(); });
    EXPECT_EQ(Run({"flash", "--all", path}), kExitInterrupted);
    EXPECT_TRUE(HasLine(out.str(),
                        "1-1 +SN-1 +cancelled .*cancelled after the switch: no "
                        "firmware was written; the device may be waiting in its "
                        "bootloader, run the update again"))
        << out.str();
}

TEST_F(ProductionLineTest, EachDeviceIsFollowedByItsPlaceWhateverComesBackFirst) {
    // The first device takes longest to come back, so the second's bootloader is found first.
    sim::VeltBehaviour slow;
    slow.reenumerateMs = 1500;
    sim::SimulatedVelt& first = Add(1, slow);
    sim::SimulatedVelt& second = Add(2);

    EXPECT_EQ(Run({"flash", "--device", "1-1", path}), kExitSuccess) << err.str();
    EXPECT_EQ(first.firmware(), image);
    EXPECT_EQ(second.reports().size(), 0U);

    bus.Replug(first);
    EXPECT_EQ(Run({"flash", "--device", "SN-2", path}), kExitSuccess);
    EXPECT_EQ(second.firmware(), image);
    EXPECT_EQ(Run({"flash", "--device", first.path(), path}), kExitSuccess);
    EXPECT_EQ(first.modeSwitches(), 1);  // it was already in its bootloader
    EXPECT_EQ(first.records(), 200U);

    EXPECT_EQ(Run({"flash", "--device", "3-1", path}), kExitNoDevice);
    EXPECT_THAT(err.str(), HasSubstr("no Velt-USB at '3-1'"));

    // Both at once, the slow one still getting only its own records.
    bus.Unplug(first.path());
    bus.Unplug(second.path());
    sim::SimulatedVelt& third = Add(3, slow);
    sim::SimulatedVelt& fourth = Add(4);
    EXPECT_EQ(Run({"flash", "--all", path}), kExitSuccess) << out.str();
    EXPECT_EQ(third.firmware(), image);
    EXPECT_EQ(fourth.firmware(), image);

    // A device named before it is plugged in is waited for.
    sim::DeviceModel named;
    named.serial = "SN-9";
    sim::SimulatedVelt& later = bus.PlugVeltAt(clock.NowMs() + 2000, named);
    EXPECT_EQ(Run({"flash", "--device", "SN-9", "--wait", "1", path}), kExitNoDevice);
    EXPECT_EQ(Run({"flash", "--device", "SN-9", "--wait", "5", path}), kExitSuccess) << err.str();
    EXPECT_EQ(later.firmware(), image);
}

TEST_F(ProductionLineTest, ANameThatFitsTwoDevicesFlashesNeitherUnlessItsKindIsSaid) {
    sim::DeviceModel looksLikeAPlace;
    looksLikeAPlace.serial = "1-2";
    sim::SimulatedVelt& first = bus.AddVelt(looksLikeAPlace);
    sim::SimulatedVelt& second = Add(2);

    EXPECT_EQ(Run({"--json", "flash", "--device", "1-2", path}), kExitUsage);
    EXPECT_THAT(err.str(), HasSubstr("'1-2' names more than one Velt-USB: the one at 1-1 by its "
                                     "serial number, the one at 1-2 by its location; say "
                                     "serial:1-2 or location:1-2. Nothing was flashed."));
    EXPECT_THAT(out.str(),
                HasSubstr(R"("exit":2,"records":0,"total":0,"error":"ambiguous-device")"));
    EXPECT_EQ(first.reports().size() + second.reports().size(), 0U);

    EXPECT_EQ(Run({"flash", "--device", "location:1-2", path}), kExitSuccess) << err.str();
    EXPECT_EQ(second.firmware(), image);
    EXPECT_EQ(first.reports().size(), 0U);
    EXPECT_EQ(Run({"flash", "--device", "serial:1-2", path}), kExitSuccess) << err.str();
    EXPECT_EQ(first.firmware(), image);
    EXPECT_EQ(Run({"flash", "--device", "serial:1-1", path}), kExitNoDevice);
}

TEST_F(ProductionLineTest, WithoutLocationsEachDeviceIsFollowedByItsSerialNumber) {
    sim::VeltBehaviour rebooting;
    rebooting.rebootAfterMs = 300;
    std::vector<sim::SimulatedVelt*> velts;
    for (int number = 1; number <= 3; ++number) {
        velts.push_back(&Add(number, rebooting));
    }
    EXPECT_EQ(Run({"flash", "--all", path}, false), kExitSuccess) << err.str();
    for (sim::SimulatedVelt* velt : velts) {
        EXPECT_EQ(velt->modeSwitches(), 1);
        EXPECT_EQ(velt->firmware(), image);
    }
    // A watch knows them by their serial numbers: flashed once more, then, back under new
    // paths with their new firmware, already done.
    monitor.actions = {{clock.NowMs() + 5000, [&] { interrupts.Interrupt(); }}};
    EXPECT_EQ(Run({"flash", "--watch", path}, false), kExitSuccess) << err.str();
    for (sim::SimulatedVelt* velt : velts) {
        EXPECT_EQ(velt->records(), 200U);
        EXPECT_EQ(velt->productId(), protocol::applicationProductId);
        bus.Unplug(velt->path());
    }
    EXPECT_THAT(out.str(), HasSubstr(" SN-3: already done"));
    EXPECT_THAT(out.str(), HasSubstr("3 of 3 devices flashed."));

    // Two with no serial number cannot be told apart: refused before either is switched.
    sim::DeviceModel anonymous;
    anonymous.serial.reset();
    sim::SimulatedVelt& first = bus.AddVelt(anonymous, {});
    bus.AddVelt(anonymous, {});
    EXPECT_EQ(Run({"flash", "--all", path}, false), kExitUsage);
    EXPECT_THAT(err.str(), HasSubstr("--all needs each device's USB location or a serial number"));
    EXPECT_EQ(first.modeSwitches(), 0);
}

TEST_F(ProductionLineTest, WatchFlashesEachDeviceOnceAsItIsPluggedIn) {
    sim::VeltBehaviour rebooting;
    rebooting.rebootAfterMs = 300;  // back in application mode with its new firmware
    sim::SimulatedVelt& present = Add(1, rebooting);
    sim::DeviceModel later;
    later.serial = "SN-2";
    sim::SimulatedVelt& plugged = bus.PlugVeltAt(10'000, later, rebooting);
    later.serial.reset();
    sim::SimulatedVelt& anonymous = bus.PlugVeltAt(20'000, later, rebooting);
    // The first device plugged in again; the one without a serial number back after a long
    // absence, which makes it another device.
    monitor.actions = {{30'000, [&] { bus.Unplug(present.path()); }},
                       {31'000, [&] { bus.Replug(present); }},
                       {40'000, [&] { bus.Unplug(anonymous.path()); }},
                       {46'000, [&] { bus.Replug(anonymous); }},
                       {60'000, [&] { interrupts.Interrupt(); }}};

    EXPECT_EQ(Run({"flash", "--watch", path}), kExitSuccess) << err.str();
    for (const sim::SimulatedVelt* velt : {&present, &plugged, &anonymous}) {
        const int times = velt == &anonymous ? 2 : 1;
        EXPECT_EQ(velt->modeSwitches(), times) << velt->location();
        EXPECT_EQ(velt->records(), 100U * times) << velt->location();
        EXPECT_TRUE(std::equal(image.begin(), image.end(), velt->firmware().end() - 4000));
        EXPECT_EQ(velt->productId(), protocol::applicationProductId);
    }
    const std::string text = out.str();
    EXPECT_THAT(text, HasSubstr("1-1 SN-1: already done"));
    EXPECT_THAT(text, HasSubstr("1-2 SN-2: already done"));
    EXPECT_THAT(text, HasSubstr("1-3 -: already done"));
    EXPECT_THAT(text, HasSubstr("4 done, 0 failed"));
    EXPECT_THAT(text, Not(HasSubstr("5 done")));
    EXPECT_THAT(text, HasSubstr("4 of 4 devices flashed."));

    // --new-only leaves the devices present at its start alone, until they are plugged again.
    sim::SimulatedVelt& old = Add(5);
    sim::SimulatedVelt& fresh = bus.PlugVeltAt(clock.NowMs() + 3000, {});
    const std::uint64_t start = clock.NowMs();
    monitor.actions = {{start + 20'000, [&] { interrupts.Interrupt(); }}};
    EXPECT_EQ(Run({"flash", "--watch", "--new-only", path}), kExitSuccess) << err.str();
    EXPECT_EQ(old.reports().size(), 0U);
    EXPECT_EQ(fresh.firmware(), image);
}

TEST_F(ProductionLineTest, TheRecordKeepsEveryDeviceAndARestartedWatchSkipsWhatItDid) {
    std::vector<sim::SimulatedVelt*> velts;
    for (int number = 1; number <= 8; ++number) {
        velts.push_back(&Add(number));
    }
    const std::string record = (dir.path() / "record.jsonl").string();
    const std::string wrong(64, 'a');
    EXPECT_EQ(Run({"flash", "--all", "--expect-sha256", wrong, "--record", record, path}),
              kExitUsage);
    EXPECT_THAT(err.str(), HasSubstr("its SHA-256 is "));
    EXPECT_THAT(err.str(), HasSubstr(", not " + wrong));
    EXPECT_EQ(velts[0]->modeSwitches(), 0);
    EXPECT_EQ(Run({"flash", "--all", "--record", (dir.path() / "no" / "r").string(), path}),
              kExitUsage);
    EXPECT_EQ(velts[0]->modeSwitches(), 0);

    EXPECT_EQ(Run({"flash", "--all", "--record", record, path}), kExitSuccess) << err.str();
    std::multiset<std::string> serials;
    const RecordVisitor visit{[&](std::size_t, std::string_view, const Json& entry) {
                                  serials.insert(StringField(entry, "serial").value_or(""));
                                  EXPECT_EQ(StringField(entry, "result"), "success");
                                  EXPECT_EQ(StringField(entry, "versionBefore"), "1.2");
                                  EXPECT_EQ(NumberField(entry, "records"), 100);
                              },
                              [](std::size_t line) { ADD_FAILURE() << line; },
                              {}};
    ASSERT_EQ(RecordReader(record).ReadOn(visit, true).status, RecordRead::Status::Ok);
    EXPECT_EQ(serials.size(), 8U);
    EXPECT_EQ(std::set<std::string>(serials.begin(), serials.end()).size(), 8U);

    // Restarted with the record: the eight are done; one plugged in later is not. Then the
    // record breaks: the device that finds it broken is the last one flashed.
    for (sim::SimulatedVelt* velt : velts) {
        bus.Unplug(velt->path());
    }
    const std::uint64_t start = clock.NowMs();
    sim::SimulatedVelt& again = Add(3);
    sim::DeviceModel model;
    model.serial = "SN-9";
    sim::SimulatedVelt& ninth = bus.PlugVeltAt(start + 1000, model, {});
    model.serial = "SN-10";
    sim::SimulatedVelt& tenth = bus.PlugVeltAt(start + 11'000, model, {});
    model.serial = "SN-11";
    sim::SimulatedVelt& eleventh = bus.PlugVeltAt(start + 20'000, model, {});
    monitor.actions = {{start + 10'000,
                        [&] {
                            std::filesystem::remove(record);
                            std::filesystem::create_directory(record);
                        }},
                       {start + 60'000, [&] { interrupts.Interrupt(); }}};
    EXPECT_EQ(Run({"flash", "--watch", "--record", record, path}), kExitOutputLost);
    EXPECT_THAT(out.str(), HasSubstr("1-9 SN-3: already done (record)"));
    EXPECT_EQ(again.modeSwitches(), 0);
    EXPECT_EQ(ninth.firmware(), image);
    EXPECT_EQ(tenth.firmware(), image);
    EXPECT_EQ(eleventh.modeSwitches(), 0);
    EXPECT_THAT(err.str(), HasSubstr("could not be written"));
    EXPECT_LT(clock.NowMs(), start + 60'000) << "the watch ended itself";

    std::filesystem::remove(record);  // the folder in its place
    bus.Unplug(ninth.path());
    bus.Unplug(tenth.path());
    bus.Unplug(eleventh.path());
    monitor.actions = {{clock.NowMs() + 20'000, [&] { interrupts.Interrupt(); }}};
    EXPECT_EQ(Run({"flash", "--watch", "--again", "--record", record, path}), kExitSuccess);
    EXPECT_EQ(again.modeSwitches(), 1) << "--again flashes it regardless";
}

// A watch goes by the latest entry the record has for a device with this image, read on as
// another watch appends to it; a device in its bootloader runs no firmware and is flashed.
TEST_F(ProductionLineTest, AWatchGoesByTheRecordsLatestEntryAndReadsOnWhatOthersAppend) {
    const std::string record = (dir.path() / "record.jsonl").string();
    sim::SimulatedVelt& first = Add(1);
    EXPECT_EQ(Run({"flash", "--record", record, path}), kExitSuccess) << err.str();
    bus.Unplug(first.path());
    sim::VeltBehaviour vanishing;
    vanishing.vanishAfter = 4;
    Add(1, vanishing);
    EXPECT_EQ(Run({"flash", "--record", record, path}), kExitUpdateFailed);
    const auto doneElsewhere = [&](const std::string& serial) {
        FlashRecordEntry entry;
        entry.time = UtcTime(std::chrono::system_clock::now());
        entry.serial = serial;
        entry.sha256 = Sha256Hex(image);
        entry.result = {{"result", "success"}, {"exit", 0}, {"records", 100}, {"total", 100}};
        ASSERT_EQ(AppendLineDurably(record, RecordLine(entry)), "");
    };
    doneElsewhere("SN-2");

    const std::uint64_t start = clock.NowMs();
    sim::SimulatedVelt& failedLast = Add(1);
    sim::DeviceModel model;
    model.serial = "SN-2";
    model.productId = protocol::bootloaderProductId;
    sim::SimulatedVelt& inBootloader = bus.AddVelt(model, {});
    model.serial = "SN-3";
    model.productId = protocol::applicationProductId;
    sim::SimulatedVelt& moved = bus.PlugVeltAt(start + 5000, model, {});
    monitor.actions = {{start + 2000, [&] { doneElsewhere("SN-3"); }},
                       {start + 20'000, [&] { interrupts.Interrupt(); }}};
    EXPECT_EQ(Run({"flash", "--watch", "--record", record, path}), kExitSuccess) << err.str();
    EXPECT_EQ(failedLast.firmware(), image);
    EXPECT_EQ(inBootloader.firmware(), image);
    EXPECT_EQ(moved.modeSwitches(), 0);
    EXPECT_THAT(out.str(), HasSubstr(" SN-3: already done (record)"));
    EXPECT_THAT(out.str(), HasSubstr("2 of 2 devices flashed."));
}

}  // namespace
}  // namespace velt::cli
