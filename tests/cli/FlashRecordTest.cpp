#include "cli/FlashRecord.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "cli/History.h"
#include "platform/AppendFile.h"
#include "tests/support/TempDir.h"

namespace velt::cli {
namespace {

FlashRecordEntry Entry(std::string time, std::optional<std::string> serial, std::string result,
                       std::string sha256 = "ab12") {
    FlashRecordEntry entry;
    entry.time = std::move(time);
    entry.serial = std::move(serial);
    const int records = result == "success" ? 200 : 17;
    entry.resultFields =
        R"(,"result":")" + result + R"(","records":)" + std::to_string(records) + R"(,"total":200)";
    entry.sha256 = std::move(sha256);
    entry.device = "1-2";
    return entry;
}

TEST(FlatJsonTest, ReadsThisProgramsLinesAndRefusesAnythingElse) {
    const auto object = ParseFlatJsonObject(
        R"( {"a":"x\"\u00e9\ud83d\ude00\n","n":-12,"t":true,"z":null,"a2":1.5e3} )");
    ASSERT_TRUE(object);
    EXPECT_EQ(StringField(*object, "a"), "x\"\xC3\xA9\xF0\x9F\x98\x80\n");
    EXPECT_EQ(object->at("a2").text, "1.5e3");
    EXPECT_EQ(NumberField(*object, "n"), std::nullopt);  // negative
    EXPECT_EQ(object->at("t").kind, JsonValue::Kind::True);
    for (const char* bad :
         {R"({"a":{"b":1}})", R"({"a":[1]})", R"({"a":1} x)", R"({"a":"cut)", R"({"a":"\qtrue"})",
          "{\"a\":\"tab\there\"}", R"({"a":01x})", R"({"a":})", R"({"a":"x\u12"})", ""}) {
        EXPECT_FALSE(ParseFlatJsonObject(bad)) << bad;
    }
}

TEST(FlashRecordTest, LinesComeBackAsWrittenAndACutLineIsNamedNotFatal) {
    test::TempDir dir;
    const std::string path = (dir.path() / "record.jsonl").string();
    std::string error;
    ASSERT_TRUE(ReadRecord(path, error)) << "a record not yet there is empty";

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

    const auto record = ReadRecord(path, error);
    ASSERT_TRUE(record) << error;
    ASSERT_EQ(record->entries.size(), 4u);
    EXPECT_EQ(record->damagedLines, std::vector<std::size_t>{4});
    EXPECT_EQ(StringField(record->entries[0], "serial"), "VU-\"7\"\x1b");
    EXPECT_EQ(NumberField(record->entries[2], "records"), 17);
    // Done: recorded as a success with this image; not another image, not a failure.
    EXPECT_EQ(SerialsDone(*record, "ab12"), (std::set<std::string>{"VU-\"7\"\x1b"}));

    std::ostringstream out, err;
    ShowHistory({path, "", "2026-12-07T10:01", false}, out, err);
    EXPECT_EQ(err.str(), "velt-usb-flash: " + path +
                             " line 4 is not a whole record entry (cut off or damaged); skipped\n");
    EXPECT_EQ(out.str().find("VU-\"7\""), std::string::npos) << "--since leaves it out";
    EXPECT_NE(out.str().find("failure"), std::string::npos);
    EXPECT_NE(out.str().find("\n3 entries: 1 failure, 2 success\n"), std::string::npos)
        << out.str();

    std::ostringstream json, ignored;
    ShowHistory({path, "VU-9", "", true}, json, ignored);
    std::istringstream lines(json.str());
    std::string line;
    std::vector<JsonObject> objects;
    while (std::getline(lines, line)) {
        auto object = ParseFlatJsonObject(line);
        ASSERT_TRUE(object) << line;
        objects.push_back(*object);
    }
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(StringField(objects[0], "serial"), "VU-9");
    EXPECT_EQ(NumberField(objects[1], "entries"), 1);
    EXPECT_EQ(NumberField(objects[1], "damaged"), 1);

    // The power fails in the middle of the last line: named, skipped, the file untouched.
    { std::ofstream(path, std::ios::app | std::ios::binary) << cut.substr(0, 40); }
    const auto size = std::filesystem::file_size(path);
    EXPECT_EQ(ShowHistory({path, "", "", false}, out, err), 0);
    EXPECT_THAT(err.str(), testing::HasSubstr(" line 6 is not a whole record entry"));
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
    std::string error;
    const auto record = ReadRecord(path, error);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->entries.size(), 200u);
    EXPECT_TRUE(record->damagedLines.empty());
    EXPECT_EQ(SerialsDone(*record, "ab12").size(), 200u);

    EXPECT_NE(AppendLineDurably(dir.str(), "{}\n"), "") << "a folder is no record";
    EXPECT_NE(AppendLineDurably((dir.path() / "no" / "r.jsonl").string(), "{}\n"), "");
    std::ostringstream out, err;
    EXPECT_EQ(ShowHistory({dir.str(), "", "", false}, out, err), 2);
    EXPECT_FALSE(err.str().empty());
    EXPECT_TRUE(ValidSince("2026-12-07") && ValidSince("2026-12-07T08:00:00Z"));
    EXPECT_FALSE(ValidSince("07.12.2026") || ValidSince("2026-12-07 08:00"));
}

}  // namespace
}  // namespace velt::cli
