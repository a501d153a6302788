#include "line/FlashRecord.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "cli/History.h"
#include "platform/AppendFile.h"
#include "tests/support/FileKinds.h"
#include "tests/support/TempDir.h"

namespace velt::cli {
namespace {

using namespace velt::line;

using ::testing::HasSubstr;

FlashRecordEntry Entry(std::string time, std::optional<std::string> serial, std::string result,
                       std::string sha256 = "ab12", int records = -1, int total = 200) {
    FlashRecordEntry entry;
    entry.time = std::move(time);
    entry.serial = std::move(serial);
    records = records >= 0 ? records : result == "success" ? total : 17;
    entry.result = {{"result", result}, {"records", records}, {"total", total}};
    entry.sha256 = std::move(sha256);
    entry.device = "1-2";
    return entry;
}

// The entries of the record at `path`, read to its end, and the numbers of its damaged lines.
std::pair<std::vector<Json>, std::vector<std::size_t>> ReadAll(const std::string& path) {
    std::pair<std::vector<Json>, std::vector<std::size_t>> read;
    RecordReader reader(path);
    const RecordVisitor visit{
        [&](std::size_t, std::string_view, const Json& entry) { read.first.push_back(entry); },
        [&](std::size_t line) { read.second.push_back(line); },
        {}};
    EXPECT_NE(reader.ReadOn(visit, true).status, RecordRead::Status::Unreadable);
    return read;
}

TEST(FlashRecordTest, LinesComeBackAsWrittenAndACutLineIsNamedNotFatal) {
    test::TempDir dir;
    const std::string path = (dir.path() / "record.jsonl").string();
    FlashRecordEntry odd = Entry("2026-12-07T10:00:00Z", "VU-\"7\"\x1b", "success");
    ASSERT_EQ(AppendLineDurably(path, RecordLine(odd)), "");
    ASSERT_EQ(AppendLineDurably(
                  path, RecordLine(Entry("2026-12-07T10:01:00Z", "VU-8", "success", "other"))),
              "");
    ASSERT_EQ(AppendLineDurably(path, RecordLine(Entry("2026-12-07T10:02:00Z", "VU-9", "failure"))),
              "");
    // A power failure in the middle of the fourth line; the next append stays whole.
    std::string cut = RecordLine(Entry("2026-12-07T10:03:00Z", "VU-10", "success"));
    { std::ofstream(path, std::ios::app | std::ios::binary) << cut.substr(0, cut.size() / 2); }
    ASSERT_EQ(
        AppendLineDurably(path, RecordLine(Entry("2026-12-07T10:04:00Z", std::nullopt, "success"))),
        "");

    // Not this program's: raw controls and a byte that is not UTF-8, in its own order.
    {
        std::ofstream(path, std::ios::app | std::ios::binary)
            << "{\"time\":\"2026-12-07T10:05:00Z\",\"result\":\"success\",\"serial\":\"VU-"
               "9\xC2\x9B\x7F\xFF\"}\n";
    }

    const auto [entries, damaged] = ReadAll(path);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(damaged, std::vector<std::size_t>{4});
    EXPECT_EQ(StringField(entries[0], "serial"), "VU-\"7\"\x1b");
    EXPECT_EQ(NumberField(entries[2], "records"), 17);

    std::ostringstream out, err;
    ShowHistory({path, "", "2026-12-07T10:01", false}, out, err);
    EXPECT_EQ(err.str(), "velt-usb-flash: " + path +
                             " line 4 is not a whole record entry (cut off or damaged); skipped\n");
    EXPECT_EQ(out.str().find("VU-\"7\""), std::string::npos) << "--since leaves it out";
    EXPECT_NE(out.str().find("failure"), std::string::npos);
    EXPECT_NE(out.str().find("\n4 entries: 1 failure, 3 success\n"), std::string::npos)
        << out.str();

    // A line this program wrote comes out as it was; anything else escaped as the text shows
    // it escaped.
    std::ostringstream json, ignored;
    ShowHistory({path, "", "2026-12-07T10:02Z", true}, json, ignored);
    EXPECT_EQ(json.str(),
              RecordLine(Entry("2026-12-07T10:02:00Z", "VU-9", "failure")) +
                  RecordLine(Entry("2026-12-07T10:04:00Z", std::nullopt, "success")) +
                  R"({"time":"2026-12-07T10:05:00Z","result":"success","serial":"VU-9\u009b\u007f)"
                  "\xEF\xBF\xBD\"}\n"
                  R"({"event":"history","entries":3,"failure":1,"success":2,"damaged":1})"
                  "\n");

    // The power fails in the middle of the last line: named, skipped, the file untouched.
    { std::ofstream(path, std::ios::app | std::ios::binary) << cut.substr(0, 40); }
    const auto size = std::filesystem::file_size(path);
    EXPECT_EQ(ShowHistory({path, "", "", false}, out, err), 0);
    EXPECT_THAT(err.str(), HasSubstr(" line 7 is not a whole record entry"));
    EXPECT_EQ(std::filesystem::file_size(path), size);
}

TEST(FlashRecordTest, AppendsSideBySideNeverTearALineAndFailuresAreSaid) {
    test::TempDir dir;
    const std::string path = (dir.path() / "record.jsonl").string();
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 4; ++writer) {
        writers.emplace_back([&, writer] {
            for (int n = 0; n < 50; ++n) {
                const std::string serial = std::to_string(writer) + "-" + std::to_string(n);
                EXPECT_EQ(AppendLineDurably(path, RecordLine(Entry("t", serial, "success"))), "");
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    const auto [entries, damaged] = ReadAll(path);
    EXPECT_EQ(entries.size(), 200u);
    EXPECT_TRUE(damaged.empty());

    EXPECT_NE(AppendLineDurably(dir.str(), "{}\n"), "") << "a folder is no record";
    EXPECT_NE(AppendLineDurably((dir.path() / "no" / "r.jsonl").string(), "{}\n"), "");
    std::ostringstream out, err;
    EXPECT_EQ(ShowHistory({dir.str(), "", "", false}, out, err), 2);
    EXPECT_FALSE(err.str().empty());
    const std::string fifo = (dir.path() / "fifo").string();
    EXPECT_EQ(test::MakeFifo(fifo) ? ShowHistory({fifo, "", "", false}, out, err) : 2, 2);
    // The empty device is an empty record.
    EXPECT_EQ(ShowHistory({test::NullDevice(), "", "", false}, out, err), 0) << err.str();
    EXPECT_THAT(out.str(), HasSubstr("\n0 entries\n"));
    EXPECT_TRUE(ValidSince("2026-12-07") && ValidSince("2026-12-07T23:59:59Z") &&
                ValidSince("2028-02-29T08:00"));
    EXPECT_FALSE(ValidSince("07.12.2026") || ValidSince("2026-12-07 08:00") ||
                 ValidSince("2026-02-29") || ValidSince("2026-12-07T24:00"));

    // A name that is not UTF-8 keeps its bytes beside it.
    FlashRecordEntry named = Entry("t", "VU-1", "success");
    EXPECT_THAT(RecordLine(named), testing::Not(HasSubstr("imageHex")));
    named.image = "fw-\xE9t\xE9.bin";
    EXPECT_THAT(RecordLine(named), HasSubstr(R"(,"imageHex":"66772de974e92e62696e",)"));
}

// Whether a device is done with an image: the latest entry for its serial number and that
// image says every record went, read on as the record grows.
TEST(FlashRecordTest, TheLatestEntryForTheImageDecidesReadOnAsTheRecordGrows) {
    test::TempDir dir;
    const std::string path = (dir.path() / "record.jsonl").string();
    RecordedDone done(path, "ab12");
    const auto readOn = [&] {
        EXPECT_EQ(done.ReadOn([](std::size_t line) { ADD_FAILURE() << line; }).status,
                  RecordRead::Status::Ok);
    };
    readOn();  // not there yet: empty
    const struct {
        const char* result;
        const char* sha256;
        int records, total;
        bool done;
    } steps[] = {{"success", "ab12", 200, 200, true}, {"failure", "ab12", 17, 200, false},
                 {"success", "ab12", 9, 9, true},     {"success", "other", 0, 9, true},
                 {"success", "ab12", 1, 2, false},    {"success", "ab12", 0, 0, false},
                 {"cancelled", "ab12", 2, 2, false}};
    for (const auto& step : steps) {
        ASSERT_EQ(AppendLineDurably(path, RecordLine(Entry("t", "VU-1", step.result, step.sha256,
                                                           step.records, step.total))),
                  "");
        readOn();
        EXPECT_EQ(done.Done("VU-1"), step.done) << step.result << step.records << step.sha256;
    }
    // A line still being written waits for its end.
    const std::string line = RecordLine(Entry("t", "VU-2", "success"));
    { std::ofstream(path, std::ios::app | std::ios::binary) << line.substr(0, 30); }
    readOn();
    { std::ofstream(path, std::ios::app | std::ios::binary) << line.substr(30); }
    readOn();
    EXPECT_TRUE(done.Done("VU-2"));
    // Cut shorter, another file in its place: read again from its start.
    std::filesystem::resize_file(path, 0);
    ASSERT_EQ(AppendLineDurably(path, RecordLine(Entry("t", "VU-3", "success"))), "");
    readOn();
    EXPECT_FALSE(done.Done("VU-2"));
    EXPECT_TRUE(done.Done("VU-3"));
}

TEST(FlashRecordTest, ARecordOfAnySizeIsReadAPieceAtATimeAndAHugeLineIsSkipped) {
    test::TempDir dir;
    const std::string path = (dir.path() / "record.jsonl").string();
    // Past what any limit of memory allows, a damaged line of NUL bytes (sparse, taking no
    // disk), then entries that cross the pieces the file is read in.
    { std::ofstream(path, std::ios::binary) << "\n"; }
    std::filesystem::resize_file(path, (257u << 20) + 99);
    std::string lines = "\n";
    for (int n = 0; n < 2000; ++n) {
        lines += RecordLine(Entry("2026-12-07T10:00:00Z", "VU-" + std::to_string(n), "success"));
    }
    { std::ofstream(path, std::ios::app | std::ios::binary) << lines; }
    std::ostringstream out, err;
    EXPECT_EQ(ShowHistory({path, "", "", true}, out, err), 0) << err.str();
    EXPECT_THAT(out.str(),
                HasSubstr(R"({"event":"history","entries":2000,"success":2000,"damaged":1})"));
    EXPECT_EQ(err.str(), "velt-usb-flash: " + path +
                             " line 2 is not a whole record entry (cut off or damaged); skipped\n");
}

}  // namespace
}  // namespace velt::cli
