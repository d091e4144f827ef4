#include "core/expression/checksums.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <tuple>
#include <vector>

namespace orvalix {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CrcCcitt1, MatchesCheckValues) {
    EXPECT_EQ(crcCcitt1(Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0x906E);
    EXPECT_EQ(crcCcitt1({}), 0);
    // Every byte value once, so that every table entry counts; the value was computed bit by bit.
    Bytes allBytes(256);
    std::iota(allBytes.begin(), allBytes.end(), std::uint8_t{0});
    EXPECT_EQ(crcCcitt1(allBytes), 0x303C);
}

TEST(Checksums, SumComplementsSignExtendedBccXorsBcc2PutsOddDistanceXorInHighByte) {
    // Bytes; SUM, BCC, BCC2.
    const std::tuple<Bytes, std::int64_t, std::int64_t, std::int64_t> cases[] = {
        {{}, -1, 0, 0}, {{0xAB}, ~0xAB, 0xAB, 0x00AB}, {{0xAB, 0xCD}, ~0x178, 0x66, 0xCDAB},
        {{0x10, 0x20, 0x30, 0x40}, -161, 0x40, 0x6020}, {Bytes(16384, 0xFF), ~(16384 * 255), 0, 0},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, ~0x50A, 0xF0, 0x0FFF}};
    for (const auto& [bytes, sum, xorAll, xorPairs] : cases) {
        EXPECT_EQ(std::tuple(sumChecksum(bytes), bcc(bytes), bcc2(bytes)), std::tuple(sum, xorAll, xorPairs))
            << bytes.size();
    }
}

}  // namespace
}  // namespace orvalix
