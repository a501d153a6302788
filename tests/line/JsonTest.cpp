#include "line/Json.h"

#include <gtest/gtest.h>

namespace velt::line {
namespace {

TEST(FlatJsonTest, ReadsThisProgramsLinesAndRefusesAnythingElse) {
    const auto object = ParseFlatObject(
        R"( {"a":"x\"\u00e9\ud83d\ude00\n","n":-12,"t":true,"z":null,"a2":1.5e3,"w":7} )");
    ASSERT_TRUE(object);
    EXPECT_EQ(StringField(*object, "a"), "x\"\xC3\xA9\xF0\x9F\x98\x80\n");
    EXPECT_EQ(NumberField(*object, "a2"), std::nullopt);  // not whole
    EXPECT_EQ(NumberField(*object, "n"), std::nullopt);   // negative
    EXPECT_EQ(NumberField(*object, "w"), 7);
    EXPECT_EQ(object->at("t"), true);
    // Written again: a name given twice keeps its first place and last value, bytes that are
    // not UTF-8 come back replaced, controls and bidirectional marks escaped.
    EXPECT_EQ(JsonText(*ParseFlatObject("{\"a\":1,\"b\":\"\xff\\n\u202e\",\"a\":2}")),
              "{\"a\":2,\"b\":\"\uFFFD\\u000a\\u202e\"}");
    for (const char* bad :
         {R"({"a":{"b":1}})", R"({"a":[1]})", R"({"a":1} x)", R"({"a":"cut)", R"({"a":"\qtrue"})",
          "{\"a\":\"tab\there\"}", R"({"a":01x})", R"({"a":})", R"({"a":"x\u12"})", ""}) {
        EXPECT_FALSE(ParseFlatObject(bad)) << bad;
    }
}

}  // namespace
}  // namespace velt::line
