#include "core/expression/compile_expression.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace orvalix {
namespace {

using K = TokenKind;
using S = CompileStatus;
using Rules = std::vector<std::int32_t>;

Token plain(TokenKind kind, std::int64_t value = 0) { return {kind, value, {}}; }

Rules rulesOf(const std::vector<Reduction>& reductions) {
    Rules rules;
    for (const Reduction& reduction : reductions) rules.push_back(reduction.rule);
    return rules;
}

CompiledExpression compileOrFail(std::string_view text) {
    Compilation<CompiledExpression> compilation = compileExpression(text);
    EXPECT_TRUE(compilation.program) << text;
    return std::move(compilation.program).value_or(CompiledExpression{});
}

TEST(ClassifyToken, RecognisesWholeTextsOnly) {
    // Identifiers, function names and punctuation are checked through the compile tests below.
    std::vector<std::tuple<std::string_view, K, std::int64_t>> cases = {
        {"SinceStart", K::TimeKeyword, 0}, {"SinceLast", K::TimeKeyword, 1},
        {"LastSinceStart", K::TimeKeyword, 2}, {"SinceLastRx", K::SinceLastRxKeyword, -1},
        {"SinceLastTx", K::SinceLastTxKeyword, -1},
        // Base from the prefix; out-of-range values saturate; leading C white space is skipped like strtoll.
        {"16", K::Number, 16}, {"0x10", K::Number, 16}, {"0X1f", K::Number, 31}, {"020", K::Number, 16},
        {"0", K::Number, 0}, {"\v5", K::Number, 5}, {"9223372036854775808", K::Number, INT64_MAX},
        {"0xFFFFFFFFFFFFFFFF", K::Number, INT64_MAX}, {"-9223372036854775809", K::Number, INT64_MIN}};
    for (const std::string_view text :
         {"\f", "08", "1e3", "0x", "0xg", "1x", "a.b", "caf\xc3\xa9", "!", "=", "&&", "<>", "--", ""}) {
        cases.emplace_back(text, K::Invalid, 0);
    }
    // Operator codes follow this order.
    const std::string_view operators[] = {"+", "-", "*", "/", "%", ">", "<", ">=", "<=", "&", "|", "~", "^",
                                          "<<", ">>", "==", "!="};
    for (std::int64_t code = 0; code < 17; ++code) {
        const K kind = code < 2 ? K::AdditiveOperator : K::BinaryOperator;
        cases.emplace_back(operators[code], code == 11 ? K::ComplementOperator : kind, code);
    }
    for (const auto& [text, kind, value] : cases) {
        const std::optional<Token> expected = kind == K::Invalid ? std::nullopt : std::optional(plain(kind, value));
        EXPECT_EQ(classifyToken(text), expected) << text;
    }
}

// Compiled programs keep their flat form alone, so that form must tell apart any two programs
// whose operations or operands differ; blanks, grouping and the way a number is written do not count.
TEST(ClassifyToken, ReservedWordsAreTheKeywordsAndFunctionNamesAlone) {
    for (const std::string_view word : {"SinceStart", "SinceLastTx", "CRC_CCITT1", "BCC2", "CRC", "CRC16_MODBUS", "CRC32C",
                                        "LE16", "BE32", "LEN", "COPY"}) {
        EXPECT_TRUE(isReservedWord(word)) << word;
    }
    for (const std::string_view text : {"R", "Len", "CRC16", "crc32", "COPY_1", "+", "(", "10"}) {
        EXPECT_FALSE(isReservedWord(text)) << text;
    }
}

TEST(CompileExpression, ProgramsCompareEqualExactlyWhenTheirOperationsAgree) {
    const std::tuple<std::string_view, std::string_view, bool> cases[] = {
        {"1+2", "(1+2)", true}, {"R[0] == 2", " R [ 0 ]==2", true}, {"0x10", "16", true},
        {"1+2", "1-2", false}, {"1+2", "2+1", false}, {"R[0]", "T[0]", false}, {"R[0]", "R[1]", false},
        {"R[0] + T[0]", "T[0] + R[0]", false}, {"CRC_CCITT1(R, 0, 2)", "SUM(R, 0, 2)", false},
        {"BCC(R, 0, 2)", "BCC2(R, 0, 2)", false}, {"SinceStart", "SinceLast", false},
        {"SinceLastRx", "SinceLastTx", false}, {"-1", "~1", false}, {"R[1]", "R[0+1]", false},
        // A value the flat form joins to its operator still counts.
        {"R[0] == 2", "R[0] == 3", false}, {"R[0] * 2", "R[0] * (2)", true}};
    for (const auto& [left, right, equal] : cases)
        EXPECT_EQ(compileOrFail(left) == compileOrFail(right), equal) << left << " vs " << right;
}

TEST(CompileExpression, SplitsTokensAtCharacterClassBoundaries) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"1\t+\r\n2", "1 + 2"}, {"2*-3", "2 * - 3"}, {"1>>-2", "1 >> - 2"}, {"-(1)", "- ( 1 )"},
        {"~-1", "~ - 1"}, {"SUM(R,0,1)", "SUM ( R , 0 , 1 )"}, {"0x1F*Rx[1]", "0x1F * Rx [ 1 ]"}};
    for (const auto& [text, spaced] : cases) EXPECT_EQ(compileOrFail(text), compileOrFail(spaced)) << text;
}

TEST(CompileExpression, ReadsAtMostTheLengthLimitAndUpToANul) {
    const std::string blanks(kMaxExpressionLength - 4, ' ');
    const std::tuple<std::string, S, Rules> cases[] = {
        // The last readable position still completes the final token via the implied end.
        {"1+" + blanks + "2", S::Compiled, {0, 0, 7}},
        // A token that is still open at the last readable position is dropped.
        {"1+ " + blanks + "2", S::SyntaxError, {}}, {"1+ " + blanks + "22*3", S::SyntaxError, {}},
        {"1+2 " + blanks + "*3", S::Compiled, {0, 0, 7}}, {"7     " + blanks + "08", S::Compiled, {0}},
        // A NUL ends the text.
        {std::string("1+2\0*3", 6), S::Compiled, {0, 0, 7}}, {std::string(1, '\0') + "1", S::SyntaxError, {}}};
    for (const auto& [text, status, rules] : cases) {
        const Compilation<std::vector<Reduction>> reduced = compileReductions(text);
        EXPECT_EQ(reduced.diagnostic.status, status) << text.size();
        EXPECT_EQ(rulesOf(reduced.program.value_or(std::vector<Reduction>{})), rules) << text.size();
    }
}

TEST(CompileExpression, AFrameRowMayBeACopyAsAWholeOnly) {
    const std::pair<std::string_view, CompileStatus> cases[] = {
        {"COPY(R, 0, LEN(R))", S::Compiled}, {"((COPY(R, 1, 2)))", S::Compiled},
        {"COPY(R, 0, 1) + 1", S::MisplacedCopy}, {"BE16(COPY(R, 0, 1))", S::MisplacedCopy},
        {"CRC8(R, COPY(R, 0, 1), 1)", S::MisplacedCopy},
    };
    for (const auto& [text, status] : cases) {
        EXPECT_EQ(compileExpression(text, ExpressionPlace::FrameRow).diagnostic.status, status) << text;
    }
}

TEST(CompileExpression, GivesAProgramOrTheKindOfItsFailureAtTheFirstOffendingToken) {
    const std::tuple<std::string_view, S, std::string, std::size_t> cases[] = {
        // Identifiers are case-sensitive ASCII names not starting with a digit.
        {"_x1[0] + sum[1] * SinceLastRX[2]", S::Compiled, "", 0}, {"SinceLastRx + SinceLastTx", S::Compiled, "", 0},
        {"1- -1", S::Compiled, "", 0}, {"CRC_CCITT1(Rx, Rx[0], 2) == 0", S::Compiled, "", 0},
        {"Rx[Tx[0]]", S::Compiled, "", 0}, {"1+2", S::Compiled, "", 0},
        {"", S::SyntaxError, "", 0}, {"  \t ", S::SyntaxError, "", 0},
        {"SUM(Rx[0], 0, 1)", S::SyntaxError, "SUM", 0}, {"SUM Rx, 0, 1", S::SyntaxError, "SUM", 0},
        {"SUM(Rx, 0, 1, 2)", S::SyntaxError, "SUM", 0}, {"(1", S::SyntaxError, "(", 0},
        {"1 ~ 2", S::SyntaxError, "~", 2}, {"Since Start", S::SyntaxError, "Since", 0},
        {"SUM(Rx, 0)", S::SyntaxError, "SUM", 0}, {"1+", S::SyntaxError, "+", 1},
        {"1 2", S::SyntaxError, "2", 2}, {"(1+2) (3)", S::SyntaxError, "(", 6},
        {"  Rx", S::SyntaxError, "Rx", 2}, {"2 * Rx", S::SyntaxError, "*", 2}, {"1)", S::SyntaxError, ")", 1},
        {"1 ! 2", S::InvalidToken, "!", 2}, {"08 + 1x", S::InvalidToken, "08", 0}, {"$", S::InvalidToken, "$", 0},
        // Glued operator and sign runs form one token that no table knows.
        {"1--1", S::InvalidToken, "--", 1}, {"1+-2", S::InvalidToken, "+-", 1}, {"1 += 2", S::InvalidToken, "+=", 2},
        {"1 -< 2", S::InvalidToken, "-<", 2}, {"1 && 2", S::InvalidToken, "&&", 2},
        // COPY is a frame row's whole expression and nothing else.
        {"COPY(R, 0, 1)", S::MisplacedCopy, "COPY", 0}, {"LEN(R) + COPY(R, 0, 1)", S::MisplacedCopy, "COPY", 9},
        // The new function names are reserved: they no longer read as identifiers.
        {"LEN[0]", S::SyntaxError, "LEN", 0}, {"CRC32(R, 0)", S::SyntaxError, "CRC32", 0},
        {"Rx[1] +1x", S::InvalidToken, "1x", 7}};
    for (const auto& [text, status, tokenText, position] : cases) {
        const Compilation<CompiledExpression> compilation = compileExpression(text);
        const CompileDiagnostic& diagnostic = compilation.diagnostic;
        EXPECT_EQ(std::tie(diagnostic.status, diagnostic.tokenText, diagnostic.position),
                  std::tie(status, tokenText, position)) << text;
        EXPECT_EQ(compilation.program.has_value(), status == S::Compiled) << text;
    }
}

}  // namespace
}  // namespace orvalix
