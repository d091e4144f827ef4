#include "core/expression/field_layout.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "core/expression/compile_expression.hpp"

namespace orvalix {
namespace {

// A compiled program keeps only its flat form, yet its layout still follows its outermost
// operation.
TEST(FieldLayout, FollowsTheOutermostOperation) {
    const struct {
        std::string_view rule;
        std::string_view text;
        FieldLayout layout;
    } cases[] = {
        {"the 16-bit checksums fill two positions", "CRC_CCITT1(T, 0, 1)", {2}},
        {"", "BCC2(T, 0, 1)", {2}},
        {"grouping does not hide the outermost operation", "((CRC_CCITT1(T, 0, 1)))", {2}},
        {"one-byte functions stay one byte", "SUM(T, 0, 1)", {1}},
        {"", "BCC(T, 0, 1)", {1}},
        {"an operation around a checksum makes it a plain value", "BCC2(T, 0, 1) & 0xFFFF", {1}},
        {"", "1 + CRC_CCITT1(T, 0, 1)", {1}},
        {"each preset is as wide as its CRC", "CRC8(T, 0, 1)", {1}},
        {"", "CRC16_MODBUS(T, 0, 1)", {2}},
        {"", "CRC32(T, 0, 1)", {4}},
        {"a generic CRC with a constant width rounds it up to bytes", "CRC(T, 0, 1, 12, 0x80F, 0, 0, 1, 0)", {2}},
        {"", "CRC(T, 0, 1, 64, 1, ~0, 1, 1, ~0)", {8}},
        {"a constant width suffices even when another parameter is not constant",
         "CRC(T, 0, 1, 8 * 3, R[0], 0, 0, 0, 0)", {3}},
        {"a width known only when it runs is one byte", "CRC(T, 0, 1, R[0], 7, 0, 0, 0, 0)",
         {.width = 1, .widthUnknown = true}},
        {"", "CRC(T, 0, 1, 65, 7, 0, 0, 0, 0)", {.width = 1, .widthUnknown = true}},
        {"byte-order functions set width and order", "LE16(R[0])", {2}},
        {"", "BE16(CRC16_XMODEM(T, 1, 5))", {2, true}},
        {"", "LE32(1)", {4}},
        {"", "(BE32(1))", {4, true}},
        {"inside an expression a byte-order function is a plain value", "BE16(1) + 1", {1}},
        {"a COPY fills what it copies", "COPY(R, 0, 4)", {.width = 0, .copies = true}},
    };
    for (const auto& c : cases) {
        const std::optional<CompiledExpression> compiled = compileExpression(c.text, ExpressionPlace::FrameRow).program;
        ASSERT_TRUE(compiled) << c.text;
        EXPECT_EQ(fieldLayout(*compiled), c.layout) << c.text << ": " << c.rule;
    }
}

TEST(FieldLayout, AnEmptyProgramIsOneByteAndAHandMadeOneIsMeasuredByItsLastReduction) {
    EXPECT_EQ(fieldLayout(CompiledExpression{}), FieldLayout{1});
    const Reduction number{0, {{TokenKind::Number, 1, {}}}};
    EXPECT_EQ(fieldLayout(CompiledExpression({number, number, Reduction{1, {}}})), FieldLayout{2});
    EXPECT_EQ(fieldLayout(CompiledExpression({Reduction{1, {}}, number})), FieldLayout{1});
    const auto be32 = static_cast<std::int32_t>(GrammarRuleId::ByteOrder);
    EXPECT_EQ(fieldLayout(CompiledExpression({number, Reduction{be32, {{TokenKind::FunctionByteOrder, 3, {}}}}})),
              (FieldLayout{4, true}));
}

}  // namespace
}  // namespace orvalix
