#include "core/text/text_conversion.hpp"

#include <gtest/gtest.h>

#include <string>

namespace orvalix {
namespace {

// The compiler's own encodings of the same literal are the reference.
std::string utf8(std::u8string_view text) { return {text.begin(), text.end()}; }

TEST(TextConversion, Utf8AndUtf16RoundTripAtEveryFormBoundary) {
    const std::pair<std::u8string_view, std::u16string_view> cases[] = {
        {u8"", u""}, {u8"送信条件とフレーム名", u"送信条件とフレーム名"}, {u8"\u3000x\u3000", u"\u3000x\u3000"},
        {u8"\u007F", u"\u007F"}, {u8"\u0080", u"\u0080"}, {u8"\u07FF", u"\u07FF"}, {u8"\u0800", u"\u0800"},
        {u8"\uD7FF", u"\uD7FF"}, {u8"\uE000", u"\uE000"}, {u8"\uFFFF", u"\uFFFF"},
        {u8"\U00010000", u"\U00010000"}, {u8"\U0010FFFF", u"\U0010FFFF"},
        {u8"a\u00E9\u65E5\U0001D11Ez", u"a\u00E9\u65E5\U0001D11Ez"}};
    for (const auto& [narrow, wide] : cases) {
        EXPECT_EQ(toWide(utf8(narrow)), wide) << utf8(narrow);
        EXPECT_EQ(toNarrow(wide), utf8(narrow));
    }
}

TEST(TextConversion, MalformedUtf8GivesEmptyText) {
    // Stray continuations, overlong forms, surrogates, beyond U+10FFFF, unused bytes, cut-short sequences.
    for (const char* text : {"\x80", "ab\xBF", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF",
                             "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",
                             "\xE3\x81", "a\xE3\x81" "b", "\xC2", "\xF0\x9F\x98"}) {
        EXPECT_TRUE(toWide(text).empty()) << testing::PrintToString(text);
    }
    std::u16string wide;
    EXPECT_EQ(appendUtf8AsUtf16("ab\xE6\x97\xA5" "c\xFF", wide), 6u);
    EXPECT_EQ(wide, u"ab\u65E5c");
}

TEST(TextConversion, Utf16EndsAtFirstNulAndUnpairedSurrogatesGiveEmptyText) {
    for (const std::u16string text :
         {u"\xD800", u"a\xD800z", u"\xDC00", u"\xDC00\xD800", u"\xD800\xD800\xDC00", u"ok\xDFFF"}) {
        EXPECT_TRUE(toNarrow(text).empty()) << text.size();
    }
    EXPECT_EQ(toNarrow(std::u16string_view(u"ab\0cd", 5)), "ab");
    // What follows the NUL is not looked at, not even a broken surrogate.
    EXPECT_EQ(toNarrow(std::u16string_view(u"\u65E5\0\xD800", 3)), utf8(u8"\u65E5"));
}

}  // namespace
}  // namespace orvalix
