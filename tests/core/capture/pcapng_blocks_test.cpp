#include "core/capture/pcapng_blocks.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "pcapng_reader.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::Option;
using test::textOption;

Bytes le(std::uint64_t value, std::size_t size) {
    Bytes bytes;
    for (std::size_t i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return bytes;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(PcapngBlocks, EachBlockHasItsFixedPartThenPaddedOptionsAndTheEndOfOptions) {
    const Bytes packet{1, 2, 3, 4, 5};
    struct Case {
        const char* rule;
        std::function<void(Bytes&)> append;
        std::uint32_t type;
        Bytes body;
        std::vector<Option> options;
    };
    const Case cases[] = {
        {"a section header: the byte-order magic, version 1.0, no section length",
         [](Bytes& out) { pcapng::appendSectionHeader(out, "Orvalix"); }, 0x0A0D0D0A,
         join({le(0x1A2B3C4D, 4), le(1, 2), le(0, 2), le(~0ull, 8)}), {textOption(4, "Orvalix")}},
        {"an interface: its link type, no snap length, name, description and 100 ns time stamps",
         [](Bytes& out) { pcapng::appendInterfaceDescription(out, {228, "D1", "127.0.0.1:50102"}); }, 1,
         join({le(228, 2), le(0, 2), le(0, 4)}),
         {textOption(2, "D1"), textOption(3, "127.0.0.1:50102"), {9, {7}}}},
        {"an empty description gives no option (an option may not be empty)",
         [](Bytes& out) { pcapng::appendInterfaceDescription(out, {147, "S1", ""}); }, 1,
         join({le(147, 2), le(0, 2), le(0, 4)}), {textOption(2, "S1"), {9, {7}}}},
        {"an inbound packet: time stamp high word first, both lengths unpadded, the data padded",
         [&](Bytes& out) { pcapng::appendEnhancedPacket(out, {2, 0x0000000100000002ull, packet, true, "abc"}); }, 6,
         join({le(2, 4), le(1, 4), le(2, 4), le(5, 4), le(5, 4), packet, Bytes(3, 0)}),
         {textOption(1, "abc"), {2, le(1, 4)}}},
        {"an outbound packet without a comment, its data already 32-bit long",
         [](Bytes& out) { pcapng::appendEnhancedPacket(out, {0, 7, Bytes{9, 9, 9, 9}, false, ""}); }, 6,
         join({le(0, 4), le(0, 4), le(7, 4), le(4, 4), le(4, 4), Bytes{9, 9, 9, 9}}), {{2, le(2, 4)}}},
        {"interface statistics: the comment and the 64-bit drop count",
         [](Bytes& out) { pcapng::appendInterfaceStatistics(out, {1, 0x0000000300000004ull, 0x1234567890ull, "2 lost"}); },
         5, join({le(1, 4), le(3, 4), le(4, 4)}), {textOption(1, "2 lost"), {5, le(0x1234567890ull, 8)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Bytes out{0xAA, 0xBB, 0xCC, 0xDD};  // blocks are appended after what is there
        c.append(out);
        ASSERT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0xAA, 0xBB, 0xCC, 0xDD}));
        const auto blocks = test::readBlocks(std::span(out).subspan(4));
        ASSERT_EQ(blocks.size(), 1u);
        EXPECT_EQ(blocks[0].type, c.type);
        EXPECT_EQ(blocks[0].body, c.body);
        EXPECT_EQ(blocks[0].options, c.options);
    }
}

TEST(PcapngBlocks, TimeStampsCountFrom1970In100NanosecondUnits) {
    struct Case {
        const char* rule;
        std::uint64_t fileTime, unixTime;
    };
    const Case cases[] = {
        {"1970-01-01 is 0", 116444736000000000ull, 0},
        {"100 ns later is 1", 116444736000000001ull, 1},
        {"2026-01-01 00:00:00.5", 134116992005000000ull, 17672256005000000ull},
        {"a time before 1970 is taken as 0", 5, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(pcapng::unixTime100ns(c.fileTime), c.unixTime) << c.rule;
}

}  // namespace
}  // namespace orvalix
