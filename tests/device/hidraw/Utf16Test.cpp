#include "Utf16.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace velt::hidraw {
namespace {

TEST(Utf16, DecodesAsciiAndMultiByteSequences) {
    EXPECT_EQ(Utf8ToUtf16("Velt"), u"Velt");
    EXPECT_EQ(Utf8ToUtf16("M\xC3\xBCller Ger\xC3\xA4te"), u"M\u00FCller Ger\u00E4te");
    EXPECT_EQ(Utf8ToUtf16("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB1\xD0\xBE\xD1\x80"),
              u"\u041F\u0440\u0438\u0431\u043E\u0440");
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x94\xA7"), std::u16string({0xD83D, 0xDD27}));
    EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), std::u16string({0xDBFF, 0xDFFF}));
}

TEST(Utf16, ReplacesIllFormedBytes) {
    const std::u16string r(1, u'\uFFFD');
    EXPECT_EQ(Utf8ToUtf16("\x80"), r);                          // stray continuation byte
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), r + r);                  // overlong '/'
    EXPECT_EQ(Utf8ToUtf16("\xE0\x80\xAF"), r + r + r);          // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), r + r + r);          // encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), r + r + r + r);  // above U+10FFFF
    EXPECT_EQ(Utf8ToUtf16("\xFF"), r);
    EXPECT_EQ(Utf8ToUtf16("A\xE2\x82"), u"A" + r + r);  // truncated at the end
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82"
                          "A"),
              r + r + u"A");  // cut by an ASCII byte
}

TEST(Utf16, WritesLittleEndianWithTerminator) {
    std::array<std::uint8_t, 8> buffer;
    buffer.fill(0xAA);
    ASSERT_TRUE(WriteUtf16Le(u"A\u20AC", buffer.data(), buffer.size()));
    EXPECT_EQ(buffer,
              (std::array<std::uint8_t, 8>{0x41, 0x00, 0xAC, 0x20, 0x00, 0x00, 0xAA, 0xAA}));
}

TEST(Utf16, TruncatesSoTheTerminatorFits) {
    std::array<std::uint8_t, 8> buffer;
    buffer.fill(0xAA);
    ASSERT_TRUE(WriteUtf16Le(u"ABCDEF", buffer.data(), 7));  // odd: room for 3 units
    EXPECT_EQ(buffer,
              (std::array<std::uint8_t, 8>{0x41, 0x00, 0x42, 0x00, 0x00, 0x00, 0xAA, 0xAA}));
}

TEST(Utf16, NeverSplitsASurrogatePair) {
    const std::u16string text = {u'A', 0xD83D, 0xDD27};
    std::array<std::uint8_t, 6> buffer;
    buffer.fill(0xAA);
    ASSERT_TRUE(WriteUtf16Le(text, buffer.data(), buffer.size()));  // room for 2 units
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 6>{0x41, 0x00, 0x00, 0x00, 0xAA, 0xAA}));
}

TEST(Utf16, TooSmallForTheTerminator) {
    std::array<std::uint8_t, 2> buffer{0xAA, 0xAA};
    EXPECT_FALSE(WriteUtf16Le(u"A", buffer.data(), 1));
    EXPECT_FALSE(WriteUtf16Le(u"A", buffer.data(), 0));
    EXPECT_FALSE(WriteUtf16Le(u"A", nullptr, 16));
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 2>{0xAA, 0xAA}));
    ASSERT_TRUE(WriteUtf16Le(u"A", buffer.data(), 2));
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 2>{0x00, 0x00}));
}

}  // namespace
}  // namespace velt::hidraw
