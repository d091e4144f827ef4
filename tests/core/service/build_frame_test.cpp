#include "core/service/build_frame.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/expression/compile_expression.hpp"

namespace orvalix {
namespace {

// An empty text stands for a row whose cell is empty (an empty compiled expression).
FrameDefinition defineFrame(const std::vector<std::string>& rows) {
    FrameDefinition definition;
    for (const std::string& row : rows) {
        CompiledExpression compiled;
        if (!row.empty()) {
            EXPECT_EQ(compileExpression(row, compiled), 0) << row;
        }
        definition.push_back(compiled);
    }
    return definition;
}

struct Builder {
    std::unique_ptr<ByteBuffer> transmit = std::make_unique<ByteBuffer>();
    NamedStore store;
    EvaluationContext context;

    std::vector<std::uint8_t> build(std::u16string_view name, const FrameDefinition& definition) {
        buildFrame(name, definition, *transmit, store, context);
        return {transmit->data.begin(), transmit->data.begin() + transmit->length};
    }
};

TEST(FieldWidth, IsTwoOnlyWhenTheOutermostOperationIsASixteenBitChecksum) {
    const std::pair<std::string, int> cases[] = {
        {"CRC_CCITT1(R, 0, 1)", 2}, {"BCC2(R, 0, 4)", 2},      {"(CRC_CCITT1(R, 0, 1))", 2},
        {"BCC2(R, 0, 4) & 65535", 1}, {"BCC(R, 0, 4)", 1}, {"SUM(R, 0, 4)", 1}, {"", 1},
    };
    for (const auto& [text, width] : cases) {
        EXPECT_EQ(fieldWidth(defineFrame({text}).front()), width) << text;
    }
}

TEST(BuildFrame, FillsPositionsFromTheRows) {
    struct Case {
        std::vector<std::string> rows;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        // CRC of the single byte 02 is 0xD36A: low byte first, the placeholder holds the high byte.
        {{"0x02", "CRC_CCITT1(T, 0, 1)", "", "0x03"}, {0x02, 0x6A, 0xD3, 0x03}},
        // Without a placeholder the next row is never evaluated.
        {{"0x02", "CRC_CCITT1(T, 0, 1)", "0x03"}, {0x02, 0x6A, 0xD3}},
        {{"300"}, {0x2C}},
        {{"0x2C", "0x01", "BCC2(T, 0, 2)", ""}, {0x2C, 0x01, 0x2C, 0x01}},
        {{"-1"}, {0xFF}},
        {{""}, {0xFF}},
        {{"CRC_CCITT1(T, 5, 1)", ""}, {0xFF, 0xFF}},
        // A two-byte last row makes the frame one byte longer than its rows.
        {{"0x10", "CRC_CCITT1(T, 0, 1)"}, {0x10, 0xF9, 0xE0}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        Builder builder;
        EXPECT_EQ(builder.build(u"F", defineFrame(c.rows)), c.bytes) << testing::PrintToString(c.rows);
    }
}

TEST(BuildFrame, RowsSeeThePreviousFrameWhereTheNewOneIsNotBuiltYet) {
    Builder builder;
    setNamedBytes(builder.context.names, kTransmitName, builder.transmit->data.data(), 0);
    builder.build(u"A", defineFrame({"1", "2", "3"}));
    // Row 0 sees the old frame whole; row 1 sees the new length over the old byte at position 1.
    EXPECT_EQ(builder.build(u"B", defineFrame({"T[2]", "T[1]"})), (std::vector<std::uint8_t>{3, 2}));
}

TEST(BuildFrame, KeepsTheFrameReadableUnderItsName) {
    Builder builder;
    builder.build(u"Reply", defineFrame({"7", "8"}));
    builder.build(u"Other", defineFrame({"Reply[1]"}));
    EXPECT_EQ(builder.transmit->data[0], 8);
    ASSERT_EQ(builder.store.count(u"Reply"), 1u);
    EXPECT_EQ(builder.store.at(u"Reply").length, 2u);
    EXPECT_EQ(builder.context.names.at(u"Reply").length, 2u);
}

TEST(BuildFrame, DropsBytesBeyondTheLargestFrame) {
    Builder builder;
    const FrameDefinition definition(kMaxFrameLength + 2, defineFrame({"1"}).front());
    EXPECT_EQ(builder.build(u"Big", definition).size(), kMaxFrameLength);
    EXPECT_EQ(builder.store.at(u"Big").length, kMaxFrameLength);
}

}  // namespace
}  // namespace orvalix
