#include "core/expression/evaluate_expression.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/expression/compile_expression.hpp"

namespace orvalix {
namespace {

constexpr std::int64_t kMax = INT64_MAX;
constexpr std::int64_t kMin = INT64_MIN;

std::int64_t evaluateText(std::string_view text, const EvaluationContext& context = {}) {
    CompiledExpression compiled;
    EXPECT_EQ(compileExpression(text, compiled), 0) << text;
    return evaluateExpression(compiled, context);
}

Reduction numberReduction(std::int64_t value) { return {0, {{TokenKind::Number, value, {}}}}; }

Reduction binaryReduction(std::int64_t code) {
    return {6, {{TokenKind::Expression, 0, {}}, {TokenKind::BinaryOperator, code, {}}, {TokenKind::Expression, 0, {}}}};
}

TEST(EvaluateExpression, ReducesLeftToRightWithoutPrecedence) {
    struct Case {
        std::string_view text;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"1+2*3", 9},
        {"1+(2*3)", 7},
        {"1-2-3", -4},
        {"2*-3", -6},
        {"1- -1", 2},
        {"1- -2", 3},
        {"- -1", 1},
        {"- -5", 5},
        {"+5", 5},
        {"~0", -1},
        {"~-1", 0},
        {"-~0", 1},
        {"(2+3)*(4-1)", 15},
        {"0x10 + 020 + 16", 48},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(evaluateText(c.text), c.expected) << c.text;
    }
}

TEST(EvaluateExpression, AppliesOperationTableWithWrappingAndFixedOddCases) {
    struct Case {
        std::string_view text;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"7/0", kMax},
        {"7%0", kMax},
        {"-7/0", kMax},
        {"-7/2", -3},
        {"-7%2", -1},
        {"7%-2", 1},
        {"(-9223372036854775807-1)/-1", kMin},
        {"(-9223372036854775807-1)%-1", 0},
        {"(-9223372036854775807-1)/1", kMin},
        {"-(-9223372036854775807-1)", kMin},
        {"9223372036854775807+1", kMin},
        {"(-9223372036854775807-1)-1", kMax},
        {"9223372036854775807*2", -2},
        {"0x100000000*0x100000000", 0},
        {"1<<63", kMin},
        {"1<<64", 0},
        {"1<<256", 1},
        {"1<<257", 2},
        {"1<<-1", 0},
        {"-8>>1", -4},
        {"-1>>100", -1},
        {"-8>>63", -1},
        {"-8>>64", -1},
        {"8>>64", 0},
        {"8>>320", 0},
        {"8>>257", 4},
        {"3>2", 1},
        {"2>3", 0},
        {"-1<0", 1},
        {"0<-1", 0},
        {"5>=5", 1},
        {"4>=5", 0},
        {"5<=5", 1},
        {"6<=5", 0},
        {"6&3", 2},
        {"6|3", 7},
        {"6^3", 5},
        {"3==3", 1},
        {"3==4", 0},
        {"3!=3", 0},
        {"3!=4", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(evaluateText(c.text), c.expected) << c.text;
    }
}

TEST(EvaluateExpression, UnknownOperatorCodesGiveZero) {
    struct Case {
        std::int64_t code;
        std::int64_t expected;
    };
    // 12 ^ 5: the operands are chosen so that 0 is no operation's accidental result.
    const Case cases[] = {
        {-1, 0}, {17, 0}, {kMax, 0}, {kMin, 0}, {11, ~std::int64_t{5}}, {12, 9}, {16, 1},
    };
    for (const Case& c : cases) {
        const CompiledExpression program{{numberReduction(12), numberReduction(5), binaryReduction(c.code)}};
        EXPECT_EQ(evaluateExpression(program, {}), c.expected) << c.code;
    }
}

EvaluationContext contextWithR(const std::array<std::uint8_t, 4>& bytes) {
    EvaluationContext context;
    setNamedBytes(context.names, u"R", bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return context;
}

TEST(EvaluateExpression, ReadsNamedBytesAndValidatesRanges) {
    const std::array<std::uint8_t, 4> bytes{0x10, 0x20, 0x30, 0x40};
    const EvaluationContext context = contextWithR(bytes);
    struct Case {
        std::string_view text;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"R[0]", 0x10},
        {"R[3]", 0x40},
        {"R[4]", -1},
        {"R[-1]", -1},
        {"R[9223372036854775807]", -1},
        {"r[0]", -1},
        {"Q[0]", -1},
        {"R[R[0]-16]", 0x10},
        {"BCC(R, 0, 4)", 0x40},
        {"BCC(R, 1, 2)", 0x10},
        {"BCC2(R, 0, 4)", 0x6020},
        {"BCC2(R, 1, 3)", 0x3060},
        {"SUM(R, 0, 4)", -161},
        {"CRC_CCITT1(R, 0, 5)", -1},
        {"CRC_CCITT1(R, 4, 0)", 0},
        // Empty ranges.
        {"SUM(R, 4, 0)", -1},
        {"BCC(R, 0, 0)", 0},
        {"BCC2(R, 2, 0)", 0},
        // A negative count passes the range check and gives each function's empty-ish value.
        {"CRC_CCITT1(R, 0, -1)", -1},
        {"SUM(R, 0, -1)", -1},
        {"BCC(R, 0, -1)", 0},
        {"BCC2(R, 1, -1)", 0},
        {"BCC(R, 5, -1)", 0},
        {"BCC(R, 6, -1)", -1},
        // Invalid ranges: missing name, negative offset, past the end, sums that would overflow.
        {"BCC(Q, 0, -1)", -1},
        {"BCC(R, -1, 2)", -1},
        {"BCC2(R, 3, 2)", -1},
        {"SUM(R, 1, 9223372036854775807)", -1},
        {"BCC(R, 9223372036854775807, 9223372036854775807)", -1},
        {"BCC(R, 9223372036854775807, -9223372036854775807-1)", 0},
        {"SUM(Q, 0, 4) + 1", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(evaluateText(c.text, context), c.expected) << c.text;
    }
}

TEST(EvaluateExpression, RoundsTimesToMilliseconds) {
    struct Case {
        std::string_view text;
        std::int64_t time;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"SinceStart", 14999, 1},
        {"SinceStart", 15000, 2},
        {"SinceStart", 4999, 0},
        {"SinceStart", 0, 0},
        {"SinceStart", -15000, -1},
        {"SinceStart", kMax, -922337203685477},
        {"SinceLast", 25000, 3},
        {"LastSinceStart", 10000000, 1000},
        {"SinceLastRx", 15000, 2},
        {"SinceLastTx", 14999, 1},
    };
    for (const Case& c : cases) {
        EvaluationContext context;
        context.times.values = {-10000, -20000, -30000};
        context.activity[0] = PortActivity{-40000, -50000};
        if (c.text == "SinceStart") {
            context.times.values[0] = c.time;
        } else if (c.text == "SinceLast") {
            context.times.values[1] = c.time;
        } else if (c.text == "LastSinceStart") {
            context.times.values[2] = c.time;
        } else if (c.text == "SinceLastRx") {
            context.activity[0].sinceLastReceive = c.time;
        } else {
            context.activity[0].sinceLastTransmit = c.time;
        }
        EXPECT_EQ(evaluateText(c.text, context), c.expected) << c.text << " " << c.time;
    }
}

TEST(EvaluateExpression, PortActivityWithoutEntryZeroIsMinusOne) {
    EvaluationContext context;
    context.activity[1] = PortActivity{20000, 30000};
    EXPECT_EQ(evaluateText("SinceLastRx", context), -1);
    EXPECT_EQ(evaluateText("SinceLastTx", context), -1);
    EXPECT_EQ(evaluateText("SinceLastRx + 1", {}), 0);
}

TEST(EvaluateExpression, EmptyOrFailedProgramIsMinusOne) {
    EXPECT_EQ(evaluateExpression(CompiledExpression{}, {}), -1);
    CompiledExpression failed;
    EXPECT_NE(compileExpression("1 +", failed), 0);
    EXPECT_EQ(evaluateExpression(failed, {}), -1);
}

TEST(EvaluateExpression, MalformedProgramsYieldValuesWithoutFaulting) {
    const Token expr{TokenKind::Expression, 0, {}};
    struct Case {
        std::string name;
        CompiledExpression program;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"number without token", {{{0, {}}}}, -1},
        {"unknown rules are skipped", {{numberReduction(5), {42, {}}, {-3, {}}}}, 5},
        {"grouping leaves no value", {{numberReduction(5), {5, {}}}}, 5},
        {"only skipped rules", {{{5, {}}, {99, {}}}}, -1},
        {"binary on an empty stack", {{binaryReduction(0)}}, -2},
        {"binary with one operand", {{numberReduction(10), binaryReduction(1)}}, -11},
        {"binary without operator token", {{numberReduction(1), numberReduction(2), {7, {expr}}}}, 0},
        {"unary on an empty stack", {{{8, {{TokenKind::AdditiveOperator, 1, {}}, expr}}}}, 1},
        {"unary without tokens", {{numberReduction(3), {9, {}}}}, 0},
        {"time without token", {{{11, {}}}}, -1},
        {"time code below range", {{{11, {{TokenKind::TimeKeyword, -1, {}}}}}}, -1},
        {"time code above range", {{{11, {{TokenKind::TimeKeyword, 3, {}}}}}}, -1},
        {"time code huge", {{{11, {{TokenKind::TimeKeyword, kMin, {}}}}}}, -1},
        {"index without tokens", {{numberReduction(0), {10, {}}}}, -1},
        {"index on an empty stack", {{{10, {{TokenKind::Identifier, 0, u"R"}}}}}, -1},
        {"range without tokens", {{numberReduction(0), numberReduction(1), {3, {}}}}, -1},
        {"range on an empty stack", {{{3, {{}, {}, {TokenKind::Identifier, 0, u"R"}}}}}, -1},
        {"range with huge values", {{numberReduction(kMax), numberReduction(kMax), {2, {{}, {}, {TokenKind::Identifier, 0, u"R"}}}}}, -1},
    };
    const std::array<std::uint8_t, 4> bytes{0x10, 0x20, 0x30, 0x40};
    const EvaluationContext context = contextWithR(bytes);
    for (const Case& c : cases) {
        EXPECT_EQ(evaluateExpression(c.program, context), c.expected) << c.name;
    }
}

TEST(EvaluateExpression, ValueStackOverflowYieldsMinusOne) {
    CompiledExpression fits;
    fits.reductions.assign(1024, numberReduction(7));
    EXPECT_EQ(evaluateExpression(fits, {}), 7);
    CompiledExpression overflows;
    overflows.reductions.assign(1025, numberReduction(7));
    EXPECT_EQ(evaluateExpression(overflows, {}), -1);
}

TEST(EvaluateExpression, DeepestNestingOfLongestTextFitsTheStack) {
    // Every pending operand costs at least four characters ("1+(" and its ")").
    const std::size_t levels = (kMaxExpressionLength - 1) / 4;
    std::string text;
    for (std::size_t i = 0; i < levels; ++i) {
        text += "1+(";
    }
    text += '1';
    text.append(levels, ')');
    ASSERT_LT(text.size(), kMaxExpressionLength);
    EXPECT_EQ(evaluateText(text), static_cast<std::int64_t>(levels + 1));
}

TEST(EvaluateExpression, NullDataReadsAsNoBytes) {
    EvaluationContext context;
    setNamedBytes(context.names, u"N", nullptr, 100);
    EXPECT_EQ(evaluateText("N[0]", context), -1);
    EXPECT_EQ(evaluateText("BCC(N, 0, 1)", context), -1);
    EXPECT_EQ(evaluateText("BCC(N, 0, 0)", context), 0);
}

TEST(SetNamedBytes, RefersToCallerBytesAndReplacesEarlierEntry) {
    NamesTable table;
    const std::array<std::uint8_t, 3> first{1, 2, 3};
    const std::array<std::uint8_t, 2> second{4, 5};
    setNamedBytes(table, u"Rx", first.data(), 3);
    setNamedBytes(table, u"Rx", second.data(), 2);
    ASSERT_EQ(table.size(), 1U);
    const NamedBytes& entry = table.at(u"Rx");
    EXPECT_EQ(entry.name, u"Rx");
    EXPECT_EQ(entry.data, second.data());
    EXPECT_EQ(entry.length, 2U);
}

TEST(StoreNamedBytes, CopiesAtMostOneFrameAndRegistersTheCopy) {
    struct Case {
        std::uint32_t length;
        std::uint32_t stored;
    };
    const Case cases[] = {{0, 0}, {5, 5}, {16384, 16384}, {16385, 16384}, {20000, 16384}};
    for (const Case& c : cases) {
        std::vector<std::uint8_t> source(c.length);
        for (std::size_t i = 0; i < source.size(); ++i) {
            source[i] = static_cast<std::uint8_t>(i * 7 + 1);
        }
        NamedStore store;
        NamesTable table;
        storeNamedBytes(source.data(), c.length, u"Frame", store, table);
        const ByteBuffer& buffer = store.at(u"Frame");
        const NamedBytes& entry = table.at(u"Frame");
        EXPECT_EQ(buffer.length, c.stored) << c.length;
        EXPECT_EQ(entry.length, c.stored) << c.length;
        EXPECT_EQ(entry.name, u"Frame");
        EXPECT_EQ(entry.data, buffer.data.data()) << c.length;
        EXPECT_TRUE(std::equal(source.begin(), source.begin() + c.stored, buffer.data.begin())) << c.length;
    }
}

TEST(StoreNamedBytes, KeepsItsCopyWhenTheSourceChanges) {
    std::array<std::uint8_t, 4> source{0x10, 0x20, 0x30, 0x40};
    NamedStore store;
    EvaluationContext context;
    storeNamedBytes(source.data(), 4, u"R", store, context.names);
    source.fill(0);
    EXPECT_EQ(evaluateText("BCC2(R, 0, 4)", context), 0x6020);
    // Storing again under the same name replaces the copy in place.
    storeNamedBytes(source.data(), 2, u"R", store, context.names);
    EXPECT_EQ(evaluateText("R[1]", context), 0);
    EXPECT_EQ(evaluateText("R[2]", context), -1);
    EXPECT_EQ(store.size(), 1U);
}

}  // namespace
}  // namespace orvalix
