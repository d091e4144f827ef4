#include "core/text/json_text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace orvalix {
namespace {

struct JsonCase {
    std::string_view rule;
    std::string_view text;
    std::string_view json;
};

TEST(JsonString, QuotesEscapesAndKeepsOnlyValidUtf8) {
    const JsonCase cases[] = {
        {"plain text is quoted", "U1", "\"U1\""},
        {"quote and backslash are escaped", "a\"b\\c", "\"a\\\"b\\\\c\""},
        {"line breaks and tabs take their short escapes", "a\nb\r\tc", "\"a\\nb\\r\\tc\""},
        {"other control characters become \\u escapes", std::string_view("\x01\x1f\x7f\0", 4),
         "\"\\u0001\\u001f\\u007f\\u0000\""},
        {"valid UTF-8 passes through", "\xE5\xBF\x9C\xE7\xAD\x94", "\"\xE5\xBF\x9C\xE7\xAD\x94\""},
        {"a four-byte sequence passes through", "\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
        {"a stray continuation byte becomes U+FFFD", "a\x80z", "\"a\xEF\xBF\xBDz\""},
        {"a sequence cut short becomes U+FFFD and the rest is kept",
         "\xE5\xBF"
         "a",
         "\"\xEF\xBF\xBD\xEF\xBF\xBD"
         "a\""},
        {"an overlong form is refused", "\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"an encoded surrogate is refused", "\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& [rule, text, json] : cases) {
        EXPECT_EQ(jsonString(text), json) << rule;
    }
}

}  // namespace
}  // namespace orvalix
