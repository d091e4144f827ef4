#include "core/service/build_frame.hpp"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "core/expression/compile_expression.hpp"
#include "service_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::frame;

struct Builder {
    std::unique_ptr<ByteBuffer> transmit = std::make_unique<ByteBuffer>();
    NamedStore store;
    EvaluationContext context;

    Bytes build(std::u16string_view name, const FrameDefinition& definition) {
        buildFrame(name, definition, *transmit, store, context);
        return {transmit->data.begin(), transmit->data.begin() + transmit->length};
    }
};

// An empty row text is an empty cell. CRC_CCITT1 of the byte 02 is 0xD36A; a 16-bit checksum
// fills two positions, low byte first, when it is the outermost operation of its row.
TEST(BuildFrame, FillsPositionsFromTheRows) {
    const std::pair<std::vector<std::string_view>, Bytes> cases[] = {
        {{"0x02", "CRC_CCITT1(T, 0, 1)", "", "0x03"}, {0x02, 0x6A, 0xD3, 0x03}},
        {{"0x02", "CRC_CCITT1(T, 0, 1)", "0x03"}, {0x02, 0x6A, 0xD3}},  // the row after is never evaluated
        {{"0x2C", "0x01", "BCC2(T, 0, 2)", ""}, {0x2C, 0x01, 0x2C, 0x01}}, {{"300"}, {0x2C}}, {{"-1"}, {0xFF}},
        {{"CRC_CCITT1(T, 5, 1)", ""}, {0xFF, 0xFF}}, {{""}, {0xFF}}, {{}, {}},
        {{"0x2C", "(BCC2(T, 0, 1))", ""}, {0x2C, 0x2C, 0}}, {{"0x2C", "BCC2(T, 0, 1) & 65535", "7"}, {0x2C, 0x2C, 7}},
        {{"0x2C", "SUM(T, 0, 1)", "7"}, {0x2C, 0xD3, 7}},
        // Wider fields and byte orders follow the outermost operation the same way.
        {{"0x01", "0x03", "CRC16_MODBUS(T, 0, 2)", ""}, {0x01, 0x03, 0x40, 0x21}},
        {{"0x31", "CRC32(T, 0, 1)", "", "", ""}, {0x31, 0xB7, 0xEF, 0xDC, 0x83}},
        {{"0x31", "CRC32(T, 0, 1)"}, {0x31, 0xB7, 0xEF, 0xDC, 0x83}},  // no placeholders: still four bytes
        {{"BE16(0x1234)", "", "BE32(0x01020304)", "", "", ""}, {0x12, 0x34, 0x01, 0x02, 0x03, 0x04}},
        {{"LE32(-2)", "", "", "", "7"}, {0xFE, 0xFF, 0xFF, 0xFF, 7}},
        {{"0", "CRC(T, 0, 0, 12, 1, 0xABC, 0, 0, 0)", ""}, {0, 0xBC, 0x0A}},
        // While the frame is built, LEN(T) counts the bytes built so far.
        {{"LEN(T)", "LEN(T)", "T[1]"}, {0, 1, 1}},
    };
    for (const auto& [rows, bytes] : cases) {
        EXPECT_EQ(Builder().build(u"F", frame(rows)), bytes) << testing::PrintToString(rows);
    }
}

TEST(BuildFrame, RowsSeeThePreviousFrameWhereTheNewOneIsNotBuiltYet) {
    Builder builder;
    setNamedBytes(builder.context.names, kTransmitName, builder.transmit->data.data(), 0);
    builder.build(u"A", frame({"1", "2", "3"}));
    // Row 0 sees the old frame whole; row 1 sees the new length over the old byte at position 1.
    EXPECT_EQ(builder.build(u"B", frame({"T[2]", "T[1]"})), (Bytes{3, 2}));
}

// R is 01 02 03. A COPY row fills as many positions as it copies and the rows after it go on
// from there; the frame ends where its last field does.
TEST(BuildFrame, ACopyRowFillsWhatItCopies) {
    static constexpr std::array<std::uint8_t, 3> kReceived{1, 2, 3};
    const std::pair<std::vector<std::string_view>, Bytes> cases[] = {
        {{"COPY(R, 0, LEN(R))"}, {1, 2, 3}},
        {{"0x07", "COPY(R, 0, 3)", "CRC16_MODBUS(T, 0, LEN(T))", ""}, {7, 1, 2, 3, 0x11, 0xF1}},
        {{"1", "COPY(R, 5, 1)", "2"}, {1, 2}},  // a range outside the buffer fills nothing
        {{"1", "COPY(R, 0, 0)", "LEN(T)"}, {1, 1}},
        {{"1", "2", "COPY(T, 0, LEN(T))", "LEN(T)"}, {1, 2, 1, 2, 4}},
    };
    for (const auto& [rows, bytes] : cases) {
        Builder builder;
        setNamedBytes(builder.context.names, u"R", kReceived.data(), 3);
        EXPECT_EQ(builder.build(u"F", frame(rows)), bytes) << testing::PrintToString(rows);
        EXPECT_EQ(builder.store.at(u"F").length, bytes.size()) << testing::PrintToString(rows);
        EXPECT_FALSE(builder.context.building) << "LEN(T) reads the buffer again once the frame is built";
    }
}

TEST(BuildFrame, DropsBytesBeyondTheLargestFrame) {
    Builder builder;
    EXPECT_EQ(builder.build(u"Big", FrameDefinition(kMaxFrameLength + 2, test::compiled("1"))).size(), kMaxFrameLength);
    EXPECT_EQ(builder.store.at(u"Big").length, kMaxFrameLength);
    FrameDefinition copying(kMaxFrameLength - 1, test::compiled("1"));
    copying.push_back(test::compiled("COPY(Big, 0, 9)", ExpressionPlace::FrameRow));
    EXPECT_EQ(builder.build(u"Copying", copying).size(), kMaxFrameLength);
}

}  // namespace
}  // namespace orvalix
