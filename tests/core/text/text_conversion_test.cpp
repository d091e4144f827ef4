#include "core/text/text_conversion.hpp"

#include <gtest/gtest.h>

#include <string>

namespace orvalix {
namespace {

// The compiler's own encodings of the same literal are the reference.
std::string utf8(std::u8string_view text) { return {text.begin(), text.end()}; }

struct RoundTrip {
    const char* rule;
    std::u8string_view narrow;
    std::u16string_view wide;
};

const RoundTrip kRoundTrips[] = {
    {"empty", u8"", u""},
    {"ASCII", u8"Frame01.csv", u"Frame01.csv"},
    {"Japanese text", u8"送信条件とフレーム名", u"送信条件とフレーム名"},
    {"ideographic space", u8"\u3000x\u3000", u"\u3000x\u3000"},
    {"non-BMP characters", u8"𝄞 and 😀", u"𝄞 and 😀"},
    {"last one-byte form", u8"\u007F", u"\u007F"},
    {"first two-byte form", u8"\u0080", u"\u0080"},
    {"last two-byte form", u8"\u07FF", u"\u07FF"},
    {"first three-byte form", u8"\u0800", u"\u0800"},
    {"just below the surrogates", u8"\uD7FF", u"\uD7FF"},
    {"just above the surrogates", u8"\uE000", u"\uE000"},
    {"last three-byte form", u8"\uFFFF", u"\uFFFF"},
    {"first four-byte form", u8"\U00010000", u"\U00010000"},
    {"last code point", u8"\U0010FFFF", u"\U0010FFFF"},
    {"mixed widths", u8"a\u00E9\u65E5\U0001D11Ez", u"a\u00E9\u65E5\U0001D11Ez"},
};

TEST(TextConversion, Utf8AndUtf16RoundTrip) {
    for (const auto& c : kRoundTrips) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(toWide(utf8(c.narrow)), c.wide);
        EXPECT_EQ(toNarrow(c.wide), utf8(c.narrow));
        EXPECT_EQ(toWide(toNarrow(c.wide)), c.wide);
    }
}

TEST(TextConversion, MalformedUtf8GivesEmptyText) {
    const char* const cases[] = {
        "\x80",                  // continuation without a lead
        "ab\xBF",                // continuation after ASCII
        "\xC0\xAF",              // overlong two-byte form
        "\xC1\xBF",              // overlong two-byte form
        "\xE0\x80\xAF",          // overlong three-byte form
        "\xF0\x80\x80\xAF",      // overlong four-byte form
        "\xED\xA0\x80",          // high surrogate
        "\xED\xBF\xBF",          // low surrogate
        "\xF4\x90\x80\x80",      // above U+10FFFF
        "\xF5\x80\x80\x80",      // lead byte never used
        "\xFF",                  // byte never used
        "\xE3\x81",              // cut short at the end
        "a\xE3\x81" "b",         // cut short by ASCII
        "\xC2",                  // lead alone
        "\xF0\x9F\x98",          // four-byte form cut short
    };
    for (const char* text : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        EXPECT_TRUE(toWide(text).empty());
    }
}

TEST(TextConversion, MalformedUtf8ReportsItsOffset) {
    std::u16string wide;
    EXPECT_EQ(appendUtf8AsUtf16("ab\xE6\x97\xA5" "c\xFF", wide), 6u);
    EXPECT_EQ(wide, u"ab\u65E5c");
}

TEST(TextConversion, UnpairedSurrogatesGiveEmptyText) {
    const std::u16string cases[] = {
        u"\xD800",             // high at the end
        u"a\xD800z",           // high followed by a non-surrogate
        u"\xDC00",             // low alone
        u"\xDC00\xD800",       // pair in the wrong order
        u"\xD800\xD800\xDC00", // high followed by a full pair
        u"ok\xDFFF",           // low after ordinary text
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(testing::PrintToString(text.size()));
        EXPECT_TRUE(toNarrow(text).empty());
    }
}

TEST(TextConversion, NarrowTextEndsAtFirstNul) {
    EXPECT_EQ(toNarrow(std::u16string_view(u"ab\0cd", 5)), "ab");
    // What follows the NUL is not looked at, not even a broken surrogate.
    EXPECT_EQ(toNarrow(std::u16string_view(u"\u65E5\0\xD800", 3)), utf8(u8"\u65E5"));
    EXPECT_EQ(toNarrow(std::u16string_view(u"\0x", 2)), "");
}

}  // namespace
}  // namespace orvalix
