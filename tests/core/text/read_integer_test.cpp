#include "core/text/read_integer.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <tuple>

namespace orvalix {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(ReadInteger, FollowsStrtolWithBaseZeroAndSaturates) {
    // A full-width digit is no digit; there is no blank between sign and digits. The end is
    // where strtol's end pointer would stop, 0 when nothing is read.
    // clang-format off
    const std::tuple<std::u16string, std::int32_t, bool, std::size_t> cases[] = {
        {u"", 0, false, 0}, {u"abc", 0, false, 0}, {u"-", 0, false, 0}, {u"+x", 0, false, 0},
        {u"- 5", 0, false, 0}, {u"\uFF11", 0, false, 0}, {u"9600", 9600, true, 4}, {u"12ab", 12, true, 2},
        {u"3.5", 3, true, 1}, {u"  \t\n-42", -42, true, 7}, {u"+7", 7, true, 2}, {u"0x1F", 31, true, 4},
        {u"0X1f", 31, true, 4}, {u"-0x10", -16, true, 5}, {u"0x", 0, true, 1}, {u"0xg", 0, true, 1},
        {u"017", 15, true, 3}, {u"08", 0, true, 1}, {u"-0", 0, true, 2}, {u"2147483647", kMax, true, 10},
        {u"2147483648", kMax, true, 10}, {u"99999999999999999999999", kMax, true, 23},
        {u"-2147483648", kMin, true, 11}, {u"-2147483649", kMin, true, 11}, {u"0x7FFFFFFF", kMax, true, 10},
        {u"0x80000000", kMax, true, 10}, {u"037777777777", kMax, true, 12},
        {u"-0xFFFFFFFFFFFFFFFFFF", kMin, true, 21},
    };
    // clang-format on
    for (const auto& [text, value, digitsRead, end] : cases) {
        SCOPED_TRACE(testing::PrintToString(text));
        const NumberReading reading = readInteger(text);
        EXPECT_EQ(reading.value, value);
        EXPECT_EQ(reading.digitsRead, digitsRead);
        EXPECT_EQ(reading.end, end);
    }
}

}  // namespace
}  // namespace orvalix
