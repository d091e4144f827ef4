#include "cli/byte_count_argument.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orvalix::cli {
namespace {

TEST(ByteCountArgument, DigitsWithAnOptionalBinarySuffixAboveZero) {
    struct Case {
        const char* rule;
        std::string text;
        std::optional<std::uint64_t> bytes;
    };
    const Case cases[] = {
        {"plain digits are bytes", "1073741824", 1073741824},
        {"K is 1024", "64K", 65536},
        {"m is 1024^2", "64m", 64ull << 20},
        {"G is 1024^3", "2G", 2ull << 30},
        {"the largest count fits", "18446744073709551615", 18446744073709551615ull},
        {"one past it does not", "18446744073709551616", std::nullopt},
        {"nor a suffix that pushes it past", "17179869184G", std::nullopt},
        {"the largest count a suffix allows", "17179869183G", 17179869183ull << 30},
        {"zero keeps no history at all: refused", "0", std::nullopt},
        {"nor 0 with a suffix", "0K", std::nullopt},
        {"a sign is no digit", "-1", std::nullopt},
        {"nor a plus", "+1", std::nullopt},
        {"a suffix alone is no count", "G", std::nullopt},
        {"other suffixes are not known", "1T", std::nullopt},
        {"two suffixes neither", "1KK", std::nullopt},
        {"no blanks", "1 K", std::nullopt},
        {"no fractions", "1.5G", std::nullopt},
        {"empty text", "", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseByteCount(c.text), c.bytes) << c.rule;
}

}  // namespace
}  // namespace orvalix::cli
