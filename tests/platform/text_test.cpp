#include "platform/text.h"

#include <gtest/gtest.h>

namespace zd {
namespace {

TEST(FixedText, HoldsAtMost255UnitsAndStaysTerminated)
{
    FixedText field;
    field.fill(u'x');
    SetFixedText(field, std::u16string(300, u'a'));
    EXPECT_EQ(FixedTextView(field), std::u16string(255, u'a'));
    EXPECT_EQ(field[255], u'\0');

    SetFixedText(field, u"C:");
    EXPECT_EQ(FixedTextView(field), u"C:");
    EXPECT_EQ(field[2], u'\0');
    EXPECT_EQ(field[100], u'\0') << "the rest of an earlier, longer text must be cleared";
}

TEST(FixedText, CutDoesNotSplitASurrogatePair)
{
    std::u16string text(254, u'a');
    text += u"\U0001F4BE"; // two units at positions 254 and 255
    FixedText field;
    SetFixedText(field, text);
    EXPECT_EQ(FixedTextView(field), std::u16string(254, u'a'));
}

TEST(Utf, RoundTripsEveryPlane)
{
    const std::string utf8 = "Zeza \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xBE";
    const std::u16string utf16 = u"Zeza \u00E9 \u20AC \U0001F4BE";
    EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
    EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
}

TEST(Utf, InvalidInputBecomesReplacementCharacters)
{
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD") << "truncated sequence";
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD") << "overlong encoding";
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD") << "lone surrogate";
}

} // namespace
} // namespace zd
