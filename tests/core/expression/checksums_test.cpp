#include "core/expression/checksums.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace orvalix {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

// Bit-at-a-time CRC, to check the table-driven one against.
std::int64_t crcBitwise(const std::vector<std::uint8_t>& bytes) {
    unsigned r = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        r ^= b;
        for (int bit = 0; bit < 8; ++bit) {
            r = (r & 1U) != 0 ? (r >> 1U) ^ 0x8408U : r >> 1U;
        }
    }
    return static_cast<std::int64_t>(~r & 0xFFFFU);
}

TEST(CrcCcitt1, MatchesCheckValueAndEmptyRange) {
    EXPECT_EQ(crcCcitt1(bytesOf("123456789")), 0x906E);
    EXPECT_EQ(crcCcitt1({}), 0);
}

TEST(CrcCcitt1, AgreesWithBitwiseDefinition) {
    std::vector<std::vector<std::uint8_t>> inputs = {{0x00}, {0xFF}, {0x10, 0x20, 0x30, 0x40}, {0x7E, 0x01, 0x80}};
    std::vector<std::uint8_t> allBytes;
    for (unsigned i = 0; i < 256; ++i) {
        allBytes.push_back(static_cast<std::uint8_t>(i));
        inputs.push_back({static_cast<std::uint8_t>(i)});
    }
    inputs.push_back(allBytes);
    for (const auto& input : inputs) {
        EXPECT_EQ(crcCcitt1(input), crcBitwise(input)) << input.size() << " bytes starting " << int{input.front()};
    }
}

TEST(SumChecksum, ComplementsThe32BitSumSignExtended) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::int64_t expected;
    };
    const Case cases[] = {
        {{}, -1},
        {{0x01, 0x02, 0x03}, -7},
        {{0x10, 0x20, 0x30, 0x40}, -161},
        {{0xFF}, -256},
        {std::vector<std::uint8_t>(16384, 0xFF), ~std::int64_t{16384 * 255}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sumChecksum(c.bytes), c.expected) << c.bytes.size();
    }
}

TEST(Bcc, XorsAllBytes) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::int64_t expected;
    };
    const Case cases[] = {
        {{}, 0},
        {{0x10, 0x20, 0x30, 0x40}, 0x40},
        {{0xFF, 0x0F}, 0xF0},
        {{0xAA, 0xAA}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bcc(c.bytes), c.expected) << c.bytes.size();
    }
}

TEST(Bcc2, PutsOddDistanceXorInHighByte) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::int64_t expected;
    };
    const Case cases[] = {
        {{}, 0},
        {{0xAB}, 0x00AB},
        {{0xAB, 0xCD}, 0xCDAB},
        {{0x10, 0x20, 0x30, 0x40}, 0x6020},
        {{0x20, 0x30, 0x40}, 0x3060},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x00FF},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, 0x0FFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bcc2(c.bytes), c.expected) << c.bytes.size();
    }
}

}  // namespace
}  // namespace orvalix
