#include "core/service/build_frame.hpp"

#include <gtest/gtest.h>

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
    };
    for (const auto& [rows, bytes] : cases) {
        EXPECT_EQ(Builder().build(u"F", frame(rows)), bytes) << testing::PrintToString(rows);
    }
}

// A compiled program keeps only its flat form, yet its width still follows the outermost operation.
TEST(BuildFrame, AFieldIsTwoBytesWideExactlyWhenA16BitChecksumIsItsOutermostOperation) {
    const std::pair<std::string_view, int> compiledCases[] = {
        {"CRC_CCITT1(T, 0, 1)", 2}, {"BCC2(T, 0, 1)", 2}, {"((CRC_CCITT1(T, 0, 1)))", 2}, {"SUM(T, 0, 1)", 1},
        {"BCC(T, 0, 1)", 1}, {"BCC2(T, 0, 1) & 0xFFFF", 1}, {"1 + CRC_CCITT1(T, 0, 1)", 1}, {"R[0]", 1},
        {"SinceLastTx", 1}};
    for (const auto& [text, width] : compiledCases) {
        CompiledExpression compiled;
        ASSERT_EQ(compileExpression(text, compiled), 0) << text;
        EXPECT_EQ(fieldWidth(compiled), width) << text;
    }
    // An empty program is one byte; a hand-made one is measured by its own last reduction.
    EXPECT_EQ(fieldWidth(CompiledExpression{}), 1);
    const Reduction number{0, {{TokenKind::Number, 1, {}}}};
    EXPECT_EQ(fieldWidth(CompiledExpression{{number, number, Reduction{1, {}}}}), 2);
    EXPECT_EQ(fieldWidth(CompiledExpression{{Reduction{1, {}}, number}}), 1);
}

TEST(BuildFrame, RowsSeeThePreviousFrameWhereTheNewOneIsNotBuiltYet) {
    Builder builder;
    setNamedBytes(builder.context.names, kTransmitName, builder.transmit->data.data(), 0);
    builder.build(u"A", frame({"1", "2", "3"}));
    // Row 0 sees the old frame whole; row 1 sees the new length over the old byte at position 1.
    EXPECT_EQ(builder.build(u"B", frame({"T[2]", "T[1]"})), (Bytes{3, 2}));
}

TEST(BuildFrame, DropsBytesBeyondTheLargestFrame) {
    Builder builder;
    EXPECT_EQ(builder.build(u"Big", FrameDefinition(kMaxFrameLength + 2, test::compiled("1"))).size(), kMaxFrameLength);
    EXPECT_EQ(builder.store.at(u"Big").length, kMaxFrameLength);
}

}  // namespace
}  // namespace orvalix
