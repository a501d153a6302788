#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/Cli.h"
#include "cli/Text.h"
#include "device/PlatformWords.h"
#include "device/simulated/SimulatedBus.h"
#include "line/Json.h"
#include "platform/Clock.h"
#include "platform/Sha256.h"
#include "tests/support/TempDir.h"

namespace velt::cli {
namespace {

using protocol::bootloaderProductId;

// Lets a test act whenever the devices are listed.
struct ListHook final : HidBackend {
    explicit ListHook(HidBackend& inner) : inner(inner) {}
    std::vector<HidInterfaceInfo> ListInterfaces() override {
        if (onList) {
            onList();
        }
        return inner.ListInterfaces();
    }
    std::unique_ptr<HidDevice> Open(const std::string& path) override { return inner.Open(path); }
    HidBackend& inner;
    std::function<void()> onList;
};

using ::testing::HasSubstr;
using ::testing::Not;

class CliTest : public ::testing::Test {
  protected:
    CliTest() {
        // Presses Ctrl-C when the device has seen the given number of reports, the switch
        // included.
        bus.SetReportHook([this](const sim::ReportRecord& report) {
            if (std::count(interruptAt.begin(), interruptAt.end(), velt->reports().size()) > 0) {
                interrupts.Interrupt();
            }
            // Counted here, on the transfer's thread, for a test whose output thread asks.
            if (report.accepted && report.productId == bootloaderProductId &&
                report.bytes.size() >= 40) {
                ++recordsTaken;
            }
        });
    }

    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        CliEnvironment environment{clock, spy, interrupts, terminal, terminal && !pipedOut};
        return RunCli(args, {in, out, err}, environment);
    }

    std::string Image(std::size_t size) {
        image = test::PatternBytes(size);
        test::WriteFile(dir.path() / "fw.bin", image);
        return (dir.path() / "fw.bin").string();
    }

    std::vector<std::uint8_t> ImagePrefix(std::size_t records) const {
        return {image.begin(), image.begin() + static_cast<long>(records * 40)};
    }

    // Every device the run opened is let go.
    void ExpectAllClosed() { EXPECT_EQ(bus.openDeviceCount(), 0U); }

    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    ListHook spy{bus};
    Interrupts interrupts;
    bool terminal = false;
    bool pipedOut = false;  // with `terminal`: standard output alone goes into a pipe
    std::istringstream in;
    std::ostringstream out, err;
    test::TempDir dir;
    std::vector<std::uint8_t> image;
    sim::SimulatedVelt* velt = nullptr;
    std::vector<std::size_t> interruptAt;
    std::atomic<std::size_t> recordsTaken = 0;
};

TEST_F(CliTest, OnAPipeFlashDoesNotAskLogsEveryTenthAndNamesAPartRecord) {
    const std::string path = Image(8015);
    velt = &bus.AddVelt({});

    EXPECT_EQ(Run({"flash", path}), kExitSuccess) << err.str();
    EXPECT_EQ(velt->firmware(), ImagePrefix(200));
    const std::string text = out.str();
    EXPECT_THAT(text, Not(HasSubstr("[y/N]")));
    EXPECT_EQ(std::count(text.begin(), text.end(), '%'), 10);
    EXPECT_THAT(text, HasSubstr("Switching to bootloader...\nUpdating firmware...\n"
                                " 10%  20/200 records  2,000 B/s  0:04 left\n"));
    EXPECT_THAT(text, HasSubstr("100%  200/200 records  2,000 B/s  0:00 left\nFinishing...\n"
                                "Done: 200 records (8,000 bytes) written to the Velt-USB.\n"));
    EXPECT_EQ(err.str(), "warning: the last 15 bytes of " + path +
                             " do not fill a 40-byte record and will not be sent\n");

    EXPECT_EQ(Run({"flash", Image(40)}), kExitSuccess);
    EXPECT_THAT(out.str(), HasSubstr("40 bytes, 1 record, SHA-256"));
    EXPECT_THAT(out.str(), HasSubstr("Done: 1 record (40 bytes)"));
}

TEST_F(CliTest, OnATerminalFlashAsksFirstUnlessToldYesAndRedrawsOneLine) {
    const std::string path = Image(8000);
    velt = &bus.AddVelt({});
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
    const std::string text = out.str();
    // One draw per percent from 0% at the first record, each over the last.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 101);
    EXPECT_THAT(text, HasSubstr("\r 50%  100/200 records  2,000 B/s  0:02 left\r"));
    EXPECT_THAT(text, HasSubstr("\r100%  200/200 records  2,000 B/s  0:00 left\nFinishing...\n"));

    // Input is used up: asking again would end in a refusal.
    EXPECT_EQ(Run({"--yes", "flash", path}), kExitSuccess);

    // Output into a pipe, a person at the keyboard: asked on standard error all the same.
    pipedOut = true;
    in.clear();
    in.str("n\n");
    EXPECT_EQ(Run({"flash", path}), kExitInterrupted);
    EXPECT_THAT(err.str(), HasSubstr("? [y/N] "));
    EXPECT_THAT(out.str(), Not(HasSubstr("[y/N]")));
    EXPECT_EQ(velt->modeSwitches(), 1);
}

TEST_F(CliTest, UsageAndImageErrorsExitTwoBeforeTheDeviceIsTouched) {
    velt = &bus.AddVelt({});
    const std::string good = Image(400);
    bus.ClearCalls();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"flash", dir.str() + "/none.bin"}, "Cannot find " + dir.str() + "/none.bin"},
        {{}, "A subcommand is required"},
        {{"erase"}, "A subcommand is required; not expected: 'erase'"},
        {{"list", ""}, "not expected: ''"},
        {{"flash", ""}, "IMAGE is empty"},
        {{"flash"}, "flash: IMAGE is required"},
        // A stray word before the command is named with what the command missed.
        {{"foo", "history"}, "history: FILE is required; not expected: 'foo'"},
        {{"flash", good, "--timeout", "-1"}, "--timeout takes a number of seconds from 0 to "},
        {{"flash", good, "--timeout", "abc"}, "--timeout takes a number of seconds"},
        {{"flash", good, "--wait=nan"}, "--wait takes a number of seconds"},
        {{"flash", good, "--wait=1e300"}, "--wait takes a number of seconds"},
        {{"flash", good, "--wait", ""}, "--wait takes a number of seconds from 0 to "},
        {{"flash", good, "--wait="}, "--wait takes a number of seconds from 0 to "},
        {{"flash", good, "--device", ""}, "--device is empty"},
        {{"flash", "a\x1b[2J\nb"}, "a<U+001B>[2J<U+000A>b"},  // shown, not obeyed
        {{"--simulate", "--product-id", "12345", "list"}, "not a 16-bit hexadecimal number"},
        {{"--simulate", "--serial", "", "list"}, "--serial: empty: name a serial number"},
        {{"history", ""}, "history: FILE is empty"},
        {{"history", dir.str() + "/no.jsonl"}, "cannot read the record " + dir.str() + "/no.jsonl"},
        {{"history", good, "--serial", ""}, "--serial is empty"},
        {{"history", good, "--since", ""}, "--since takes a UTC date or time such as 2026-12-07"},
        {{"history", good, "--since", "2026-13-45"}, "not '2026-13-45'"},
        {{"history", good, "--since", "2026-12-07T25:61"}, "not '2026-12-07T25:61'"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Run(args), kExitUsage) << message;
        EXPECT_THAT(err.str(), HasSubstr(message));
        EXPECT_EQ(std::ranges::count(err.str(), '\n'), 1) << err.str();
    }
    EXPECT_TRUE(bus.calls().empty());

    EXPECT_EQ(Run({"--version"}), kExitSuccess);
    EXPECT_EQ(out.str(), "1.01.0001\n");
}

TEST_F(CliTest, ListShowsEachVeltInterfaceAndWhyOneCannotBeOpened) {
    bus.AddDevice({.productId = 0x0100});
    // Strings the device chose are shown, never obeyed.
    bus.AddVelt({.version = 0x010A,
                 .manufacturer = "Velt\x1b[31m\nX",
                 .product = "Velt\u202e-USB",
                 .serial = std::nullopt});
    bus.AddDevice({.productId = bootloaderProductId}, {.open = DeviceErrorKind::PermissionDenied});

    EXPECT_EQ(Run({"--verbose", "list"}), kExitSuccess);
    EXPECT_THAT(err.str(),
                HasSubstr("GetString Manufacturer sim:hid1 -> \"Velt<U+001B>[31m<U+000A>X\""));
    EXPECT_EQ(err.str().find('\x1b'), std::string::npos);
    EXPECT_EQ(Run({"list"}), kExitSuccess);
    EXPECT_EQ(out.str(),
              "sim:hid1\n"
              "  mode:           application\n"
              "  location:       1-2\n"
              "  vendor:product: 1209:2442\n"
              "  version:        1.A\n"
              "  manufacturer:   Velt<U+001B>[31m<U+000A>X\n"
              "  product:        Velt<U+202E>-USB\n"
              "  serial:         -\n"
              "  feature report: 41 bytes\n"
              "sim:hid2\n"
              "  mode:           bootloader\n"
              "  location:       1-3\n"
              "  product ID:     b038\n"
              "  cannot open:    permission denied\n"
              "  hint:           " +
                  std::string(PermissionHint()) + "\n");
    ExpectAllClosed();

    // Only the locked one left: nothing usable, and flash says why.
    bus.Unplug("sim:hid1");
    EXPECT_EQ(Run({"list"}), kExitNoDevice);
    EXPECT_EQ(Run({"flash", Image(400)}), kExitNoDevice);
    EXPECT_THAT(err.str(), HasSubstr("no Velt-USB found\n  sim:hid2: permission denied\n"
                                     "  hint: " +
                                     std::string(PermissionHint())));
    ExpectAllClosed();
}

TEST_F(CliTest, WaitPollsUntilADeviceAppearsOrTheLimitOrCtrlC) {
    const std::string path = Image(400);
    EXPECT_EQ(Run({"flash", "--wait=2", path}), kExitNoDevice);
    EXPECT_EQ(clock.NowMs(), 2000U);
    EXPECT_EQ(Run({"flash", "--wait=0.0001", path}), kExitNoDevice);  // a limit, not "none"
    EXPECT_EQ(clock.NowMs(), 2100U);

    // The fifth search finds a device; in the next wait Ctrl-C comes at the third.
    int lists = 0;
    spy.onList = [&] {
        if (++lists == 5) {
            velt = &bus.AddVelt({});
        }
    };
    EXPECT_EQ(Run({"flash", "--wait", path}), kExitSuccess) << err.str();
    EXPECT_GE(clock.NowMs(), 2400U);

    bus.Unplug(velt->path());
    lists = 0;
    spy.onList = [&] {
        if (++lists == 3) {
            interrupts.Interrupt();
        }
    };
    EXPECT_EQ(Run({"flash", "--wait=60", path}), kExitInterrupted);
    EXPECT_EQ(lists, 3);
}

// How a flash ends when the device does not play along or Ctrl-C is pressed: the status,
// what is said, how many records (the image's first, whole) arrived and how long it took.
TEST_F(CliTest, FlashEndsWithTheStatusOfWhatHappened) {
    const std::string path = Image(400);
    struct Case {
        int vanishAfter;
        bool ignoreSwitch;
        std::uint32_t reenumerateMs;
        std::vector<std::string> options;
        std::vector<std::size_t> interruptAt;  // reports seen, the switch being the first
        int status;
        std::string message;
        std::size_t records;
        std::uint64_t minMs = 0, maxMs = 1'000'000;
    };
    const Case cases[] = {
        {5, false, 500, {}, {}, kExitUpdateFailed, "left the bus after record 5 of 10.", 5},
        {0, true, 500, {"--timeout", "2"}, {}, kExitTimedOut, "timed out", 0, 2000, 2300},
        {0, true, 500, {}, {}, kExitTimedOut, "timed out", 0, 30000, 30300},
        {0, false, 45000, {"--timeout", "0"}, {}, kExitSuccess, "", 10, 45000},
        {0, false, 45000, {"--timeout", "4294968"}, {}, kExitSuccess, "", 10, 45000},
        {0, false, 500, {}, {4}, kExitSuccess, "the transfer will finish", 10},
        {0, false, 500, {}, {4, 7}, kExitInterrupted, "stopped after 6 of 10 records", 6},
        // Last: it leaves the device on its way to the bootloader.
        {0, false, 500, {}, {1}, kExitInterrupted, "Cancelled. No firmware was written.", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        sim::VeltBehaviour behaviour;
        behaviour.vanishAfter = c.vanishAfter;
        behaviour.ignoreSwitch = c.ignoreSwitch;
        behaviour.reenumerateMs = c.reenumerateMs;
        velt = &bus.AddVelt({}, behaviour);
        std::vector<std::string> args{"flash", path};
        args.insert(args.end(), c.options.begin(), c.options.end());
        interruptAt = c.interruptAt;
        const std::uint64_t start = clock.NowMs();
        EXPECT_EQ(Run(args), c.status) << err.str();
        EXPECT_GE(clock.NowMs() - start, c.minMs);
        EXPECT_LT(clock.NowMs() - start, c.maxMs);
        EXPECT_THAT(err.str(), HasSubstr(c.message));
        EXPECT_EQ(velt->firmware(), ImagePrefix(c.records));
        ExpectAllClosed();
        bus.Unplug(velt->path());
    }
}

TEST_F(CliTest, SimulateWithVerboseLogsEveryDeviceOperation) {
    EXPECT_EQ(Run({"--simulate", "--refuse-record", "3", "-v", "flash", Image(400)}),
              kExitUpdateFailed);
    EXPECT_THAT(out.str(), HasSubstr("simulated device: mode-switches=1 records=2 bytes=80 "));
    EXPECT_THAT(err.str(), HasSubstr("hid: Open sim:hid0 -> ok\n"));
    EXPECT_TRUE(bus.calls().empty()) << "the given platform is not used";
}

TEST_F(CliTest, JsonGivesOneObjectALineEndingInTheResult) {
    const std::string path = Image(400);
    velt = &bus.AddVelt({}, {.refuseRecord = 3});
    EXPECT_EQ(Run({"--json", "flash", path}), kExitUpdateFailed);
    std::vector<std::string> lines;
    for (std::istringstream text(out.str()); std::getline(text, lines.emplace_back());) {
    }
    lines.pop_back();
    ASSERT_GE(lines.size(), 5U) << out.str();
    for (const std::string& line : lines) {
        EXPECT_TRUE(line.starts_with(R"({"event":")") && line.ends_with("}")) << line;
    }
    EXPECT_EQ(lines.front(), R"({"event":"image","path":)" + line::JsonString(path) +
                                 R"(,"bytes":400,"records":10,"sha256":")" + Sha256Hex(image) +
                                 "\"}");
    EXPECT_THAT(lines[1], HasSubstr(R"("path":"sim:hid0","location":"1-1","mode":"application")"));
    EXPECT_EQ(lines.back(),
              R"({"event":"result","result":"failure","exit":1,"records":2,"total":10,)"
              R"("error":"record-refused","message":"The device refused record 3 of 10. The )"
              R"(firmware was not completely written. The Velt-USB waits in its bootloader: )"
              R"(start the update again."})");

    // Every way it ends is JSON: a usage error, a listing, and with a simulated device the
    // result still last.
    EXPECT_EQ(Run({"--json", "flash", path, "--timeout", "x"}), kExitUsage);
    EXPECT_EQ(out.str(), R"({"event":"result","result":"failure","exit":2,"error":"usage",)"
                         R"("message":"--timeout takes a number of seconds from 0 to 31536000, )"
                         "not 'x'\"}\n");
    EXPECT_EQ(Run({"--json", "list"}), kExitSuccess);
    // The refused update left the device in its bootloader.
    EXPECT_EQ(out.str(), R"({"event":"device","path":"sim:hid1","location":"1-1",)"
                         R"("mode":"bootloader","vendorId":"1209","productId":"b038",)"
                         R"("version":"1.2","manufacturer":"Velt Instruments",)"
                         R"("product":"Velt-USB","serial":"VU-000123","featureReport":41})"
                         "\n");
    EXPECT_EQ(Run({"--simulate", "--reenumerate-ms", "50", "--json", "flash", path}), kExitSuccess);
    const std::string simulated = out.str();
    EXPECT_THAT(simulated, HasSubstr(R"("simulated-device")"));
    EXPECT_TRUE(simulated.ends_with("\n") &&
                simulated.rfind(R"({"event":"result","result":"success")") == simulated.rfind('{'))
        << simulated;
}

// A write to standard output that failed is said on standard error; the status says so
// when nothing else went wrong, and keeps what went wrong otherwise.
TEST_F(CliTest, AnOutputThatCannotBeWrittenIsSaidAndTheStatusTellsIt) {
    velt = &bus.AddVelt({});
    const std::string path = Image(400);
    out.setstate(std::ios::badbit);
    EXPECT_EQ(Run({"flash", path}), kExitOutputLost);
    EXPECT_EQ(velt->firmware(), image);
    EXPECT_THAT(err.str(), HasSubstr("standard output could not be written"));
    bus.Unplug(velt->path());
    EXPECT_EQ(Run({"flash", path}), kExitNoDevice);
    EXPECT_THAT(err.str(), HasSubstr("standard output could not be written"));
    out.clear();
    EXPECT_EQ(Run({"flash", path}), kExitNoDevice);
    EXPECT_THAT(err.str(), Not(HasSubstr("standard output")));
}

// An output nobody takes (a full pipe, a paused console) holds back no record: the whole
// image goes out at its 20 ms pace while the first write still waits.
TEST_F(CliTest, AnOutputThatBlocksNeverHoldsTheTransferBack) {
    struct Blocking final : std::streambuf {
        int_type overflow(int_type c) override {
            // Until the device has every record; once only for at most 5 s, should the
            // transfer wait on us.
            for (int ms = 0; !done() && !waitedInVain; ++ms) {
                waitedInVain = ms == 5000;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return c;
        }
        std::function<bool()> done;
        std::atomic<bool> waitedInVain = false;
    } blocking;
    std::ostream blocked(&blocking);
    velt = &bus.AddVelt({});
    const std::string path = Image(4000);
    blocking.done = [&] { return recordsTaken == 100U; };
    CliEnvironment environment{clock, bus, interrupts, false, false};
    for (const bool json : {false, true}) {
        std::vector<std::string> args{"flash", path};
        if (json) {
            args.insert(args.begin(), "--json");
        }
        const std::size_t before = velt->records();
        EXPECT_EQ(RunCli(args, {in, blocked, err}, environment), kExitSuccess) << err.str();
        EXPECT_EQ(velt->records(), before + 100U);
        EXPECT_FALSE(blocking.waitedInVain) << "the transfer waited for the output";
        std::uint64_t last = 0;
        for (const sim::ReportRecord& report : velt->reports()) {
            if (report.productId == bootloaderProductId && report.bytes.size() >= 40 && last) {
                EXPECT_GE(report.timeMs - last, 20U);
            }
            last = report.productId == bootloaderProductId ? report.timeMs : 0;
        }
        blocking.done = [&] { return recordsTaken == 200U; };
    }
}

TEST(CliText, NamesShowControlsJsonStaysValidAndSecondsNeverBecomeNoLimit) {
    EXPECT_EQ(Printable("a\x1b[2J\n\u009b\xff\tb/Прибор"),
              "a<U+001B>[2J<U+000A><U+009B><0xFF><U+0009>b/Прибор");
    EXPECT_EQ(line::JsonString("a\"\\\n\xff"), "\"a\\\"\\\\\\u000a\uFFFD\"");
    // A Windows path stays as typed, to be copied back; a typed mark and the real thing
    // differ; a right-to-left override cannot turn a name around.
    EXPECT_EQ(Printable("C:\\temp\\new\\x1b\\u0041.bin \\\\?\\hid#vid_1209"),
              "C:\\temp\\new\\x1b\\u0041.bin \\\\?\\hid#vid_1209");
    EXPECT_EQ(Printable("<U+001B>\x1b<0x41><U+12>"), "<U+003C>U+001B><U+001B><U+003C>0x41><U+12>");
    EXPECT_EQ(Printable("\u202egpj.exe"), "<U+202E>gpj.exe");
    EXPECT_EQ(line::JsonString("\u202e\u0085"), "\"\\u202e\\u0085\"");
    // Columns line up as a terminal draws them: a Cyrillic letter one column, a CJK character
    // two, a combining mark none.
    std::ostringstream table;
    PrintColumns(table,
                 {{"Serial", "Result"}, {"ВУ-1", "ok"}, {"器-2", "ok"}, {"e\u0301-3", "ok"}});
    EXPECT_EQ(table.str(), "Serial  Result\nВУ-1    ok\n器-2    ok\ne\u0301-3     ok\n");
    const std::pair<const char*, std::optional<std::uint64_t>> seconds[] = {
        {"0", 0},         {"0.0001", 1}, {"2.5", 2500}, {"31536000", 31'536'000'000},
        {"31536001", {}}, {"-1", {}},    {"nan", {}},   {"inf", {}},
        {"1e3", {}},      {"", {}},      {"5s", {}}};
    for (const auto& [text, ms] : seconds) {
        EXPECT_EQ(ParseSeconds(text), ms) << text;
    }
}

}  // namespace
}  // namespace velt::cli
