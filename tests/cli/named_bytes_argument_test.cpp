#include "cli/named_bytes_argument.hpp"

#include <gtest/gtest.h>

namespace orvalix::cli {
namespace {

TEST(NamedBytesArgument, ParsesTwoHexDigitsPerByte) {
    struct Case {
        std::string text;
        std::u16string name;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"R=02414203", u"R", {0x02, 0x41, 0x42, 0x03}},
        {"R=", u"R", {}},
        {"Rx=aB ff", u"Rx", {0xAB, 0xFF}},
        {"応答=01", u"応答", {0x01}},
    };
    for (const Case& c : cases) {
        NamedBytesArgument parsed;
        EXPECT_EQ(parseNamedBytesArgument(c.text, parsed), "") << c.text;
        EXPECT_EQ(parsed.name, c.name) << c.text;
        EXPECT_EQ(parsed.bytes, c.bytes) << c.text;
    }
}

TEST(NamedBytesArgument, RejectsMalformedTextWithAReason) {
    const std::pair<std::string, std::string> cases[] = {
        {"R", "is not NAME=HEX"},
        {"=01", "is not NAME=HEX"},
        {"R=0", "odd number of hexadecimal digits"},
        {"R=0 1", "a byte needs two hexadecimal digits"},
        {"R=0g", "'g' is not a hexadecimal digit"},
        {"A=B=01", "'=' is not a hexadecimal digit"},
    };
    for (const auto& [text, reason] : cases) {
        NamedBytesArgument parsed;
        EXPECT_NE(parseNamedBytesArgument(text, parsed).find(reason), std::string::npos) << text;
    }
}

TEST(NamedBytesArgument, LaterBufferOfTheSameNameWins) {
    std::vector<NamedBytesArgument> buffers;
    ASSERT_EQ(parseNamedBytesArguments({"R=01", "R=0203"}, buffers), "");
    NamesTable names;
    registerNamedBytes(buffers, names);
    ASSERT_EQ(names.count(u"R"), 1u);
    EXPECT_EQ(names.at(u"R").length, 2u);
    EXPECT_EQ(names.at(u"R").data[1], 0x03);
}

}  // namespace
}  // namespace orvalix::cli
