#include "Utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace velt::hidraw {
namespace {

TEST(Utf16, DecodesWellFormedSequencesAndReplacesEachBadByte) {
    const std::u16string r(1, u'\uFFFD');
    EXPECT_EQ(Utf8ToUtf16("M\xC3\xBCller \xE2\x82\xAC"), u"M\u00FCller \u20AC");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x94\xA7\xF4\x8F\xBF\xBF"),
              std::u16string({0xD83D, 0xDD27, 0xDBFF, 0xDFFF}));
    EXPECT_EQ(Utf8ToUtf16("\x80\xFF"), r + r);                  // stray continuation, bad lead
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), r + r);                  // overlong '/'
    EXPECT_EQ(Utf8ToUtf16("\xE0\x80\xAF"), r + r + r);          // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), r + r + r);          // encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), r + r + r + r);  // above U+10FFFF
    EXPECT_EQ(Utf8ToUtf16("A\xE2\x82"), u"A" + r + r);          // cut by the end
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82"
                          "A"),
              r + r + u"A");  // cut by an ASCII byte
}

}  // namespace
}  // namespace velt::hidraw
