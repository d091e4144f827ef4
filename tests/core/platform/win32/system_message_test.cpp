#include "core/platform/win32/system_message.hpp"

#include <gtest/gtest.h>

#include "core/text/text_conversion.hpp"

namespace orvalix::platform::win32 {
namespace {

TEST(SystemMessage, AKnownCodeGivesTheSystemsTextWithItsLineBreak) {
    const std::string text = systemMessage(2);  // ERROR_FILE_NOT_FOUND
    ASSERT_GE(text.size(), 2u);
    EXPECT_NE(text.find_first_not_of("0123456789abcdef"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');
    // UTF-8 whatever the system's language (a Japanese system's ANSI text would not survive this).
    EXPECT_EQ(toNarrow(toWide(text)), text);
}

TEST(SystemMessage, ACodeWithoutTextIsItsLowerCaseHexadecimalWithoutPrefixOrLeadingZeros) {
    EXPECT_EQ(systemMessage(0x0ABCDEF1), "abcdef1");
    EXPECT_EQ(systemMessage(0xE0FFAB12), "e0ffab12");
}

}  // namespace
}  // namespace orvalix::platform::win32
