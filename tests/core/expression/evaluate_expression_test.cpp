#include "core/expression/evaluate_expression.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "core/expression/compile_expression.hpp"

namespace orvalix {
namespace {

constexpr std::int64_t kMax = INT64_MAX;
constexpr std::int64_t kMin = INT64_MIN;
using Cases = std::vector<std::pair<std::string_view, std::int64_t>>;
const std::array<std::uint8_t, 4> kBytes{0x10, 0x20, 0x30, 0x40};

std::int64_t evaluateText(std::string_view text, const EvaluationContext& context = {}) {
    const std::optional<CompiledExpression> compiled = compileExpression(text).program;
    EXPECT_TRUE(compiled) << text;
    return evaluateExpression(compiled.value_or(CompiledExpression{}), context);
}

void expectValues(const Cases& cases, const EvaluationContext& context = {}) {
    for (const auto& [text, expected] : cases) EXPECT_EQ(evaluateText(text, context), expected) << text;
}

EvaluationContext contextWithR() {
    EvaluationContext context;
    setNamedBytes(context.names, u"R", kBytes.data(), 4);
    return context;
}

Reduction num(std::int64_t value) { return {0, {{TokenKind::Number, value, {}}}}; }
Reduction bin(std::int64_t code) {
    const Token expr{TokenKind::Expression, 0, {}};
    return {6, {expr, {TokenKind::BinaryOperator, code, {}}, expr}};
}

TEST(EvaluateExpression, AppliesOperationsLeftToRightWithWrappingAndFixedOddCases) {
    expectValues({
        {"1+2*3", 9}, {"1+(2*3)", 7}, {"1-2-3", -4}, {"2*-3", -6}, {"1- -2", 3}, {"- -5", 5}, {"+5", 5},
        {"~-1", 0}, {"-~0", 1}, {"(2+3)*(4-1)", 15}, {"0x10 + 020 + 16", 48}, {"7/0", kMax}, {"7%0", kMax},
        {"-7/0", kMax}, {"-7/2", -3}, {"-7%2", -1}, {"7%-2", 1}, {"(-9223372036854775807-1)/-1", kMin},
        {"(-9223372036854775807-1)%-1", 0}, {"-(-9223372036854775807-1)", kMin},
        {"9223372036854775807+1", kMin}, {"(-9223372036854775807-1)-1", kMax}, {"9223372036854775807*2", -2},
        {"0x100000000*0x100000000", 0},
        // Shift counts wrap at 256; from 64 on the bits are all shifted out.
        {"1<<63", kMin}, {"1<<64", 0}, {"1<<256", 1}, {"1<<257", 2}, {"1<<-1", 0}, {"-8>>1", -4},
        {"-8>>64", -1}, {"8>>64", 0}, {"8>>320", 0}, {"8>>257", 4}, {"3>2", 1}, {"2>3", 0}, {"-1<0", 1},
        {"0<-1", 0}, {"5>=5", 1}, {"4>=5", 0}, {"5<=5", 1}, {"6<=5", 0}, {"6&3", 2}, {"6|3", 7}, {"6^3", 5},
        {"3==3", 1}, {"3==4", 0}, {"3!=3", 0}, {"3!=4", 1},
        // A program of one step is a lone number only when that step pushes one; the lone index,
        // length and time reads of the tests below are such programs too.
        {"0", 0}, {"((0x7FFFFFFFFFFFFFFF))", kMax},
    });
}

TEST(EvaluateExpression, ReadsNamedBytesAndValidatesRanges) {
    expectValues({
        {"R[0]", 0x10}, {"R[3]", 0x40}, {"R[4]", -1}, {"R[-1]", -1}, {"R[9223372036854775807]", -1},
        {"r[0]", -1}, {"R[R[0]-16]", 0x10}, {"BCC(R, 1, 2)", 0x10}, {"BCC2(R, 1, 3)", 0x3060},
        {"SUM(R, 0, 4)", -161}, {"CRC_CCITT1(R, 0, 5)", -1}, {"CRC_CCITT1(R, 4, 0)", 0},
        // Empty ranges; a negative count passes the range check and gives each function's empty value.
        {"SUM(R, 4, 0)", -1}, {"BCC2(R, 2, 0)", 0}, {"CRC_CCITT1(R, 0, -1)", -1}, {"SUM(R, 0, -1)", -1},
        {"BCC(R, 0, -1)", 0}, {"BCC2(R, 1, -1)", 0}, {"BCC(R, 5, -1)", 0}, {"BCC(R, 6, -1)", -1},
        // Missing name, negative offset, past the end, sums that would overflow.
        {"BCC(Q, 0, -1)", -1}, {"BCC(R, -1, 2)", -1}, {"BCC2(R, 3, 2)", -1},
        {"SUM(R, 1, 9223372036854775807)", -1}, {"BCC(R, 9223372036854775807, 9223372036854775807)", -1},
        {"BCC(R, 9223372036854775807, -9223372036854775807-1)", 0}, {"SUM(Q, 0, 4) + 1", 0},
    }, contextWithR());
    EvaluationContext context;
    setNamedBytes(context.names, u"N", nullptr, 100);
    expectValues({{"N[0]", -1}, {"BCC(N, 0, 1)", -1}, {"BCC(N, 0, 0)", 0}}, context);
}

// Each preset and the generic form against their catalogue check values over "123456789".
TEST(EvaluateExpression, CrcFunctionsGiveTheCatalogueCheckValues) {
    static constexpr std::string_view kDigits = "123456789";
    EvaluationContext context;
    setNamedBytes(context.names, u"R", reinterpret_cast<const std::uint8_t*>(kDigits.data()), 9);
    expectValues({
        {"CRC8(R, 0, 9)", 0xF4}, {"CRC16_ARC(R, 0, 9)", 0xBB3D}, {"CRC16_MODBUS(R, 0, 9)", 0x4B37},
        {"CRC16_XMODEM(R, 0, 9)", 0x31C3}, {"CRC16_IBM3740(R, 0, 9)", 0x29B1}, {"CRC16_KERMIT(R, 0, 9)", 0x2189},
        {"CRC16_DNP(R, 0, 9)", 0xEA82}, {"CRC32(R, 0, 9)", 0xCBF43926}, {"CRC32C(R, 0, 9)", 0xE3069283},
        {"CRC16_MODBUS(R, 0, LEN(R))", 0x4B37},
        // The generic form, with constant parameters (a table made once) and with a parameter
        // known only when it runs (bit by bit); a top bit set is written as ~0 or a negative number.
        {"CRC(R, 0, 9, 12, 0x80F, 0, 0, 1, 0)", 0xDAF},                    // CRC-12/UMTS
        {"CRC(R, 0, 9, 32, 0x04C11DB7, ~0, 1, 1, -1)", 0xCBF43926},        // CRC-32/ISO-HDLC
        {"CRC(R, 0, 9, 64, 0x42F0E1EBA9EA3693, ~0, 1, 1, ~0)", static_cast<std::int64_t>(0x995DC9BBDF1939FA)},
        {"CRC(R, 0, 9, R[0] - 0x31 + 16, 0x8005, 0xFFFF, 7, 7, 0)", 0x4B37},
        {"CRC(R, 0, 9, 16, 0x8005, R[8] * 0 + 0xFFFF, 1, 1, 0)", 0x4B37},
        // The range rules of CRC_CCITT1; a width outside 1 to 64 gives -1 like a failed lookup.
        {"CRC16_MODBUS(R, 0, 10)", -1}, {"CRC16_MODBUS(R, 0, -1)", -1}, {"CRC16_MODBUS(Q, 0, 1)", -1},
        {"CRC16_MODBUS(R, 9, 0)", 0xFFFF}, {"CRC(R, 0, 9, 0, 7, 0, 0, 0, 0)", -1},
        {"CRC(R, 0, 9, 65, 7, 0, 0, 0, 0)", -1}, {"CRC(R, 0, 9, R[0] * 0, 7, 0, 0, 0, 0)", -1},
        {"CRC(R, 8, 2, 8, 7, 0, 0, 0, 0)", -1},
    }, context);
}

TEST(EvaluateExpression, LengthsAndByteOrderFunctions) {
    EvaluationContext context = contextWithR();
    setNamedBytes(context.names, u"E", nullptr, 0);
    expectValues({
        {"LEN(R)", 4}, {"LEN(E)", 0}, {"LEN(Q)", -1}, {"R[LEN(R) - 1]", 0x40},
        // Inside an expression a byte-order function is its value masked to its width.
        {"LE16(0x12345)", 0x2345}, {"BE16(-1)", 0xFFFF}, {"LE32(0x123456789)", 0x23456789}, {"BE32(-1)", 0xFFFFFFFF},
        {"BE16(R[0]) + 1", 0x11},
    }, context);
    // While a frame named T is built, LEN(T) is what is built so far, whatever the buffer's length.
    setNamedBytes(context.names, u"T", kBytes.data(), 4);
    context.building = BuildProgress{u"T", 2};
    expectValues({{"LEN(T)", 2}, {"LEN(R)", 4}, {"T[3]", 0x40}}, context);
}

TEST(EvaluateExpression, CopyGivesTheBytesOfItsRangeOrNone) {
    const EvaluationContext context = contextWithR();
    const std::pair<std::string_view, std::vector<std::uint8_t>> cases[] = {
        {"COPY(R, 1, 2)", {0x20, 0x30}}, {"COPY(R, 0, LEN(R))", {0x10, 0x20, 0x30, 0x40}}, {"(COPY(R, 4, 0))", {}},
        {"COPY(R, 3, 2)", {}}, {"COPY(R, -1, 1)", {}}, {"COPY(R, 0, -1)", {}}, {"COPY(Q, 0, 0)", {}},
    };
    for (const auto& [text, bytes] : cases) {
        const std::optional<CompiledExpression> compiled = compileExpression(text, ExpressionPlace::FrameRow).program;
        ASSERT_TRUE(compiled) << text;
        const std::span<const std::uint8_t> copied = evaluateCopy(*compiled, context);
        EXPECT_EQ(std::vector<std::uint8_t>(copied.begin(), copied.end()), bytes) << text;
    }
}

TEST(EvaluateExpression, RoundsTimesToMillisecondsFromTheirOwnSource) {
    EvaluationContext context;
    context.times.values = {15000, 25000, 45000};
    context.activity[0] = PortActivity{55000, 75000};
    expectValues({{"SinceStart", 2}, {"SinceLast", 3}, {"LastSinceStart", 5}, {"SinceLastRx", 6},
                  {"SinceLastTx", 8}}, context);
    using Rounding = std::pair<std::int64_t, std::int64_t>;
    for (const auto& [time, ms] : {Rounding{14999, 1}, {4999, 0}, {-15000, -1}, {kMax, -922337203685477}}) {
        context.times.values[0] = time;
        EXPECT_EQ(evaluateText("SinceStart", context), ms) << time;
    }
    // Port activity is read from entry 0 only.
    context.activity = {{1, PortActivity{20000, 30000}}};
    expectValues({{"SinceLastRx", -1}, {"SinceLastTx", -1}}, context);
}

TEST(EvaluateExpression, MalformedProgramsYieldValuesWithoutFaulting) {
    const Token expr{TokenKind::Expression, 0, {}};
    const Token name{TokenKind::Identifier, 0, u"R"};
    const auto time = [](std::int64_t code) { return Reduction{11, {{TokenKind::TimeKeyword, code, {}}}}; };
    struct HandMade {
        std::vector<Reduction> reductions;
    };
    const std::pair<HandMade, std::int64_t> cases[] = {
        // Empty program, a number without token; unknown and grouping rules are skipped.
        {{}, -1}, {{{{0, {}}}}, -1}, {{{num(5), {42, {}}, {-3, {}}}}, 5}, {{{{5, {}}, {99, {}}}}, -1},
        // Unknown operator codes give 0; 12 and 5 are chosen so that 0 is no operation's result.
        {{{num(12), num(5), bin(-1)}}, 0}, {{{num(12), num(5), bin(17)}}, 0},
        {{{num(12), num(5), bin(11)}}, ~5}, {{{num(12), num(5), bin(16)}}, 1},
        // Operators short of operands or tokens.
        {{{bin(0)}}, -2}, {{{num(10), bin(1)}}, -11}, {{{num(1), num(2), {7, {expr}}}}, 0},
        {{{{8, {{TokenKind::AdditiveOperator, 1, {}}, expr}}}}, 1}, {{{num(3), {9, {}}}}, 0},
        // Times without token or with a code out of range.
        {{{{11, {}}}}, -1}, {{{time(-1)}}, -1}, {{{time(3)}}, -1},
        // Index and range without tokens, on an empty stack, or with huge values.
        {{{num(0), {10, {}}}}, -1}, {{{{10, {name}}}}, -1}, {{{num(0), num(1), {3, {}}}}, -1},
        {{{{3, {{}, {}, name}}}}, -1}, {{{num(kMax), num(kMax), {2, {{}, {}, name}}}}, -1}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(evaluateExpression(CompiledExpression(cases[i].first.reductions), contextWithR()), cases[i].second)
            << "case " << i;
    }
}

TEST(EvaluateExpression, ValueStackHoldsTheDeepestNestingOfTheLongestText) {
    std::vector<Reduction> reductions(1024, num(7));
    EXPECT_EQ(evaluateExpression(CompiledExpression(reductions), {}), 7);
    reductions.push_back(num(7));
    EXPECT_EQ(evaluateExpression(CompiledExpression(reductions), {}), -1);
    // Every pending operand costs at least four characters ("1+(" and its ")").
    const std::size_t levels = (kMaxExpressionLength - 1) / 4;
    std::string text;
    for (std::size_t i = 0; i < levels; ++i) text += "1+(";
    text += '1' + std::string(levels, ')');
    EXPECT_EQ(evaluateText(text), static_cast<std::int64_t>(levels + 1));
}

// Compiled programs run in their flat form (numbers joined to the index or operator that takes
// them, names looked up once); the same reductions run one by one must give the same values.
TEST(EvaluateExpression, TheFlatFormGivesWhatTheReductionsGive) {
    EvaluationContext context = contextWithR();
    setNamedBytes(context.names, u"Tx", kBytes.data() + 1, 3);
    for (const char16_t* name : {u"A", u"B", u"C", u"D", u"E"}) setNamedBytes(context.names, name, kBytes.data(), 4);
    context.times.values = {15000, 25000, 45000};
    context.activity[0] = PortActivity{55000, 75000};
    const std::string_view texts[] = {
        "(R[0] == 0x10) & (R[1] == 32) & (R[3] != 0x40)", "R[R[0] - 15] + Tx[2] * 2", "R[4]", "R[-1] - Q[0]",
        "(R[0] == 0x11) & (R[1] == 32) & (R[3] != 0x40)", "((R[0] == 0x10) & (R[1] == 0)) & (R[2] == 0x30)",
        "(R[0] - 16) & (R[1] + R[2])", "R[9] & (R[0] + 1)", "(R[0] == 0x10) & ((R[1] == 0) & (R[2] + 1))",
        "1 - 2 - 3", "7 / 0 + 7 % -1", "5 - (3 - 1)", "-R[0] + ~R[1]", "- -5", "1 << 64 | 8 >> 257",
        "CRC_CCITT1(R, 0, 4) ^ SUM(Tx, 1, 2)", "BCC(R, 1, R[0] - 14) + BCC2(Q, 0, 1)", "CRC_CCITT1(R, 0, -1)",
        "SinceStart + SinceLast * LastSinceStart", "SinceLastRx - SinceLastTx", "((((1))))",
        "CRC16_MODBUS(R, 0, 4) + CRC32(Tx, 1, LEN(Tx) - 1) + CRC8(Q, 0, 0)", "LEN(R) * LEN(Q) + BE16(R[0] << 9)",
        "CRC(R, 0, 4, 16, 0x8005, ~0, 1, 1, 0)", "CRC(R, 1, 2, R[0] - 8, 0x1021, 0, 0, 0, -1)",
        "CRC(R, 0, 4, 70, 7, 0, 0, 0, 0)",
        // More names than are looked up ahead of the run.
        "A[0] + B[1] + C[2] + D[3] + E[0] + R[1] + Tx[0] + Q[0]",
    };
    for (const std::string_view text : texts) {
        const std::optional<std::vector<Reduction>> reductions = compileReductions(text).program;
        ASSERT_TRUE(reductions) << text;
        const CompiledExpression reductionsOnly(*reductions);
        const std::optional<CompiledExpression> flat = compileExpression(text).program;
        ASSERT_TRUE(flat) << text;
        // A compiled program keeps its flat form alone; the reductions it came from are let go.
        EXPECT_TRUE(flat->flat() && flat->reductions().empty() && !flat->instructions().empty()) << text;
        EXPECT_EQ(evaluateExpression(*flat, context), evaluateExpression(reductionsOnly, context)) << text;
    }
}

// 0 & anything is 0: the flat form skips an & 's right operand when its left one is 0, unless the
// right one is a single step, where a skip would cost what it saves.
TEST(EvaluateExpression, AnAndWhoseLeftOperandIsZeroSkipsItsRightOne) {
    const EvaluationContext context = contextWithR();  // R: 10 20 30 40
    const struct {
        std::string_view text;
        std::int64_t value;
        std::ptrdiff_t skips;
    } cases[] = {
        {"(R[0] == 0x10) & (R[1] == 32)", 1, 1},
        {"(R[0] == 0x11) & (R[1] == 32)", 0, 1},
        {"(R[0] == 0x11) & (R[1] == 32) & (R[2] == 0x30)", 0, 2},
        {"(R[0] == 0x10) & (R[1] == 32) & (R[2] == 0x31)", 0, 2},
        {"(R[0] == 0x10) & ((R[1] == 0) & (R[2] + 1))", 0, 2},
        {"R[0] & R[1]", 0, 0},
        {"R[0] & 0x30", 0x10, 0},
        {"(R[0] - 0x10) & CRC_CCITT1(R, 0, 4)", 0, 1},
        {"R[9] & (R[0] + 1)", 0x11, 1},  // a byte beyond the frame reads -1: no skip
        {"(R[0] | R[1]) & (R[2] + R[3])", 0x30 & 0x70, 1},
        // A skip that lands on the next & 's skip goes on with it, from whichever test fails.
        {"(R[0] == 0x11) & (R[1] == 32) & (R[2] == 0x30) & (R[3] == 0x40)", 0, 3},
        {"(R[0] == 0x10) & (R[1] == 33) & (R[2] == 0x30) & (R[3] == 0x40)", 0, 3},
        {"(R[0] == 0x10) & (R[1] == 32) & (R[2] == 0x31) & (R[3] == 0x40)", 0, 3},
        {"(R[0] == 0x10) & (R[1] == 32) & (R[2] == 0x30) & (R[3] == 0x41)", 0, 3},
        {"(R[0] == 0x10) & (R[1] == 32) & (R[2] == 0x30) & (R[3] == 0x40)", 1, 3},
        // ... but not past a step that is no skip.
        {"((R[0] == 0x11) & (R[1] == 32) & (R[2] == 0x30)) + 5", 5, 2},
        {"((R[0] == 0x11) & (R[1] == 32)) | ((R[2] == 0x30) & (R[3] == 0x40))", 1, 2},
        {"((R[0] == 0x11) & (R[1] == 32)) | ((R[2] == 0x31) & (R[3] == 0x40))", 0, 2},
        {"(R[0] == 0x11) & ((R[1] == 32) & (R[2] == 0x30)) | 6", 6, 2},
        {"(R[0] == 0x10) & ((R[1] == 31) & (R[2] == 0x30)) | (R[3] == 0x40)", 1, 2},
    };
    for (const auto& c : cases) {
        const std::optional<CompiledExpression> compiled = compileExpression(c.text).program;
        ASSERT_TRUE(compiled) << c.text;
        EXPECT_EQ(evaluateExpression(*compiled, context), c.value) << c.text;
        const std::vector<Instruction>& steps = compiled->instructions();
        EXPECT_EQ(std::count_if(steps.begin(), steps.end(),
                                [](const Instruction& step) { return step.kind == InstructionKind::SkipIfZero; }),
                  c.skips)
            << c.text;
    }
    // A chain whose first test fails is done in one skip: its first goes to the program's end.
    const std::optional<CompiledExpression> chain =
        compileExpression("(R[0] == 0x11) & (R[1] == 32) & (R[2] == 0x30) & (R[3] == 0x40)").program;
    ASSERT_TRUE(chain);
    const std::vector<Instruction>& steps = chain->instructions();
    const auto first = std::find_if(steps.begin(), steps.end(),
                                    [](const Instruction& step) { return step.kind == InstructionKind::SkipIfZero; });
    ASSERT_NE(first, steps.end());
    EXPECT_EQ(first - steps.begin() + 1 + first->value, static_cast<std::ptrdiff_t>(steps.size()));
}

// Names of one ASCII character are kept apart from the rest; every name is found all the same,
// among many (N0 to N9, each with 0 to 29 x's), a name differing from one in a single unit or in
// length is not, and setting a name again points it at the new bytes without adding an entry.
TEST(NamedBytes, EveryNameSetIsFoundAndNoOtherIs) {
    NamesTable table;
    std::vector<std::u16string> names = {u"RR", u"R", u"T", u"\u00E9", u"\u007F", u"\u0080", u"Rx", u"",
                                         u"\U0001F600"};
    for (char16_t unit = 0; unit < 200; ++unit) {
        if (unit != u'R' && unit != u'T' && unit != 0x7F && unit != 0x80 && unit != 0xE9) {
            names.push_back(std::u16string(1, unit));
        }
    }
    for (int i = 0; i < 300; ++i) {
        names.push_back(u"N" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) +
                        std::u16string(static_cast<std::size_t>(i / 10), u'x'));
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        setNamedBytes(table, names[i], kBytes.data(), static_cast<std::uint32_t>(i));
    }
    setNamedBytes(table, u"R", kBytes.data() + 1, 99);
    ASSERT_EQ(table.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const NamedBytes* entry = table.lookup(names[i], hashName(names[i]));
        ASSERT_NE(entry, nullptr) << i;
        EXPECT_EQ(entry->length, names[i] == u"R" ? 99u : i) << i;
        EXPECT_EQ(std::next(table.begin(), static_cast<std::ptrdiff_t>(i))->first, names[i]);  // order of adding
    }
    EXPECT_EQ(table.at(u"R").data, kBytes.data() + 1);
    for (const std::u16string_view absent : {u"n0", u"N0xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", u"\u0152"}) {
        EXPECT_EQ(table.find(absent), table.end()) << absent.size();
    }
    NamesTable few;
    setNamedBytes(few, u"R", kBytes.data(), 1);
    setNamedBytes(few, u"Tx", kBytes.data(), 2);
    for (const std::u16string_view absent : {u"T", u"r", u"RR", u"Rx", u"x", u"", u"\u0152"}) {
        EXPECT_EQ(few.lookup(absent, hashName(absent)), nullptr);
        EXPECT_EQ(few.find(absent), few.end());
    }
    EXPECT_EQ(few.find(u"R")->second.length, 1u);
    EXPECT_EQ(few.find(u"Tx")->second.length, 2u);
}

// Setting a name again is eval's "a later buffer wins".
TEST(NamedBytes, StoreCopiesAtMostOneFrame) {
    NamesTable table;
    NamedStore store;
    for (const std::uint32_t length : {0U, 5U, 16384U, 16385U}) {
        std::vector<std::uint8_t> source(length);
        for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 7 + 1);
        storeNamedBytes(source.data(), length, u"Rx", store, table);
        const std::uint32_t stored = std::min(length, 16384U);
        const std::vector<std::uint8_t> copy(source.begin(), source.begin() + stored);
        source.assign(length, 0);  // the store keeps its own copy
        const ByteBuffer& buffer = store.at(u"Rx");
        EXPECT_EQ(std::tie(buffer.length, table.at(u"Rx").length, table.at(u"Rx").data),
                  std::tuple(stored, stored, buffer.data.data())) << length;
        EXPECT_TRUE(std::equal(copy.begin(), copy.end(), buffer.data.begin())) << length;
    }
}

}  // namespace
}  // namespace orvalix
