#include "cli/named_bytes_argument.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace orvalix::cli {
namespace {

TEST(NamedBytesArgument, ParsesTwoHexDigitsPerByteOrGivesAReason) {
    const std::tuple<std::string, std::u16string, std::vector<std::uint8_t>, std::string> cases[] = {
        {"R=02414203", u"R", {0x02, 0x41, 0x42, 0x03}, ""}, {"R=", u"R", {}, ""},
        {"Rx=aB ff", u"Rx", {0xAB, 0xFF}, ""}, {"応答=01", u"応答", {0x01}, ""},
        {"R", u"", {}, "is not NAME=HEX"}, {"=01", u"", {}, "is not NAME=HEX"},
        {"R=0", u"", {}, "odd number of hexadecimal digits"}, {"R=0g", u"", {}, "'g' is not a hexadecimal"},
        {"R=0 1", u"", {}, "a byte needs two hexadecimal"}, {"A=B=01", u"", {}, "'=' is not a hexadecimal"}};
    for (const auto& [text, name, bytes, reason] : cases) {
        const ArgumentRead<NamedBytesArgument> parsed = parseNamedBytesArgument(text);
        EXPECT_EQ(parsed.value.has_value(), reason.empty()) << text;
        if (!parsed.value) {
            EXPECT_NE(parsed.error.find(reason), std::string::npos) << parsed.error;
            continue;
        }
        EXPECT_EQ(std::tie(parsed.value->name, parsed.value->bytes), std::tie(name, bytes)) << text;
    }
}

}  // namespace
}  // namespace orvalix::cli
