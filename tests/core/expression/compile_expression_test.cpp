#include "core/expression/compile_expression.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvalix {
namespace {

Token number(std::int64_t value) { return {TokenKind::Number, value, {}}; }
Token expression() { return {TokenKind::Expression, 0, {}}; }
Token plain(TokenKind kind) { return {kind, 0, {}}; }
Token additive(std::int64_t code) { return {TokenKind::AdditiveOperator, code, {}}; }
Token binary(std::int64_t code) { return {TokenKind::BinaryOperator, code, {}}; }
Token identifier(std::u16string name) { return {TokenKind::Identifier, 0, std::move(name)}; }

std::vector<std::int32_t> rulesOf(const CompiledExpression& compiled) {
    std::vector<std::int32_t> rules;
    for (const Reduction& reduction : compiled.reductions) {
        rules.push_back(reduction.rule);
    }
    return rules;
}

CompiledExpression compileOrFail(std::string_view text) {
    CompiledExpression compiled;
    EXPECT_EQ(compileExpression(text, compiled), 0) << text;
    return compiled;
}

// A program that a failed compile must leave alone.
CompiledExpression sentinelProgram() { return CompiledExpression{{Reduction{0, {number(42)}}}}; }

TEST(ClassifyToken, RecognisesWholeTextsInPriorityOrder) {
    struct Case {
        std::string_view text;
        int status;
        TokenKind kind;
        std::int64_t value;
        std::u16string name;
    };
    const Case cases[] = {
        {"SinceStart", 0, TokenKind::TimeKeyword, 0, u""},
        {"SinceLast", 0, TokenKind::TimeKeyword, 1, u""},
        {"LastSinceStart", 0, TokenKind::TimeKeyword, 2, u""},
        {"SinceLastRx", 0, TokenKind::SinceLastRxKeyword, -1, u""},
        {"SinceLastTx", 0, TokenKind::SinceLastTxKeyword, -1, u""},
        {"CRC_CCITT1", 0, TokenKind::FunctionCrcCcitt1, 0, u""},
        {"SUM", 0, TokenKind::FunctionSum, 0, u""},
        {"BCC", 0, TokenKind::FunctionBcc, 0, u""},
        {"BCC2", 0, TokenKind::FunctionBcc2, 0, u""},
        {"(", 0, TokenKind::LeftParen, 0, u""},
        {")", 0, TokenKind::RightParen, 0, u""},
        {"[", 0, TokenKind::LeftBracket, 0, u""},
        {"]", 0, TokenKind::RightBracket, 0, u""},
        {",", 0, TokenKind::Comma, 0, u""},
        {"+", 0, TokenKind::AdditiveOperator, 0, u""},
        {"-", 0, TokenKind::AdditiveOperator, 1, u""},
        {"*", 0, TokenKind::BinaryOperator, 2, u""},
        {"/", 0, TokenKind::BinaryOperator, 3, u""},
        {"%", 0, TokenKind::BinaryOperator, 4, u""},
        {">", 0, TokenKind::BinaryOperator, 5, u""},
        {"<", 0, TokenKind::BinaryOperator, 6, u""},
        {">=", 0, TokenKind::BinaryOperator, 7, u""},
        {"<=", 0, TokenKind::BinaryOperator, 8, u""},
        {"&", 0, TokenKind::BinaryOperator, 9, u""},
        {"|", 0, TokenKind::BinaryOperator, 10, u""},
        {"~", 0, TokenKind::ComplementOperator, 11, u""},
        {"^", 0, TokenKind::BinaryOperator, 12, u""},
        {"<<", 0, TokenKind::BinaryOperator, 13, u""},
        {">>", 0, TokenKind::BinaryOperator, 14, u""},
        {"==", 0, TokenKind::BinaryOperator, 15, u""},
        {"!=", 0, TokenKind::BinaryOperator, 16, u""},
        // Numbers: base from the prefix, the whole text must be digits of that base.
        {"16", 0, TokenKind::Number, 16, u""},
        {"0x10", 0, TokenKind::Number, 16, u""},
        {"0X1f", 0, TokenKind::Number, 31, u""},
        {"020", 0, TokenKind::Number, 16, u""},
        {"0", 0, TokenKind::Number, 0, u""},
        {"9223372036854775807", 0, TokenKind::Number, INT64_MAX, u""},
        {"9223372036854775808", 0, TokenKind::Number, INT64_MAX, u""},
        {"0xFFFFFFFFFFFFFFFF", 0, TokenKind::Number, INT64_MAX, u""},
        {"99999999999999999999999", 0, TokenKind::Number, INT64_MAX, u""},
        {"-9223372036854775808", 0, TokenKind::Number, INT64_MIN, u""},
        {"-9223372036854775809", 0, TokenKind::Number, INT64_MIN, u""},
        // Leading C white space that no blank class splits off is skipped like strtoll does.
        {"\v5", 0, TokenKind::Number, 5, u""},
        {"\f", 2, TokenKind::Invalid, 0, u""},
        {"08", 2, TokenKind::Invalid, 0, u""},
        {"1e3", 2, TokenKind::Invalid, 0, u""},
        {"10ms", 2, TokenKind::Invalid, 0, u""},
        {"0x", 2, TokenKind::Invalid, 0, u""},
        {"0xg", 2, TokenKind::Invalid, 0, u""},
        // Identifiers: ASCII letters, digits and "_", not starting with a digit.
        {"_x1", 0, TokenKind::Identifier, 0, u"_x1"},
        {"Rx", 0, TokenKind::Identifier, 0, u"Rx"},
        {"sum", 0, TokenKind::Identifier, 0, u"sum"},
        {"SinceLastRX", 0, TokenKind::Identifier, 0, u"SinceLastRX"},
        {"1x", 2, TokenKind::Invalid, 0, u""},
        {"a.b", 2, TokenKind::Invalid, 0, u""},
        {"caf\xc3\xa9", 2, TokenKind::Invalid, 0, u""},
        {"!", 2, TokenKind::Invalid, 0, u""},
        {"=", 2, TokenKind::Invalid, 0, u""},
        {"&&", 2, TokenKind::Invalid, 0, u""},
        {"||", 2, TokenKind::Invalid, 0, u""},
        {"<>", 2, TokenKind::Invalid, 0, u""},
        {"=<", 2, TokenKind::Invalid, 0, u""},
        {"--", 2, TokenKind::Invalid, 0, u""},
        {"", 2, TokenKind::Invalid, 0, u""},
    };
    for (const Case& c : cases) {
        Token token{TokenKind::Number, 77, u"stale"};
        EXPECT_EQ(classifyToken(c.text, token), c.status) << c.text;
        EXPECT_EQ(token, (Token{c.kind, c.value, c.name})) << c.text;
    }
}

TEST(CompileExpression, SplitsTokensAtCharacterClassBoundaries) {
    // Each text must tokenize exactly like its fully spaced form.
    struct Case {
        std::string_view text;
        std::string_view spaced;
    };
    const Case cases[] = {
        {"1+2", "1 + 2"},
        {"1 +2", "1 + 2"},
        {"1+ 2", "1 + 2"},
        {"1\t+\r\n2", "1 + 2"},
        {"2*-3", "2 * - 3"},
        {"1<-1", "1 < - 1"},
        {"1>>-2", "1 >> - 2"},
        {"1>=2", "1 >= 2"},
        {"1!=2", "1 != 2"},
        {"(1)", "( 1 )"},
        {"-(1)", "- ( 1 )"},
        {"~~1", "~ ~ 1"},
        {"-~1", "- ~ 1"},
        {"~-1", "~ - 1"},
        {"Rx[0]+1", "Rx [ 0 ] + 1"},
        {"SUM(R,0,1)", "SUM ( R , 0 , 1 )"},
        {"0x1F*Rx[1]", "0x1F * Rx [ 1 ]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(compileOrFail(c.text), compileOrFail(c.spaced)) << c.text;
    }
}

TEST(CompileExpression, KeepsOperatorAndSignRunsTogether) {
    // Glued runs form one token that no table knows.
    const std::string_view texts[] = {
        "1--1", "1+-2", "1 += 2", "1 -< 2", "1 && 2", "1 || 2", "1 <> 2", "1 =< 2", "1 ! 2", "1 = 2", "!1",
        "08", "1e3", "10ms", "1x", "a.b", "$",
    };
    for (const std::string_view text : texts) {
        CompiledExpression out;
        EXPECT_EQ(compileExpression(text, out), 2) << text;
    }
}

TEST(CompileExpression, ReturnsStatusByWhetherOneExpressionRemains) {
    struct Case {
        std::string_view text;
        int status;
    };
    const Case cases[] = {
        {"1+2*3", 0},
        {"1+(2*3)", 0},
        {"", 1},
        {"   ", 1},
        {"Rx", 1},
        {"Rx[0] + 1", 0},
        {"SUM(Rx, 0, 1)", 0},
        {"SUM(Rx, 0)", 1},
        {"SUM(Rx[0], 0, 1)", 1},
        {"SUM Rx, 0, 1", 1},
        {"SUM(Rx, 0, 1, 2)", 1},
        {"Rx + 1", 1},
        {"1 2", 1},
        {"1+", 1},
        {"()", 1},
        {"(1", 1},
        {"1)", 1},
        {"-1", 0},
        {"~0", 0},
        {"1 ~ 2", 1},
        {"- -1", 0},
        {"1- -1", 0},
        {"Since Start", 1},
        {"SinceStart", 0},
        {"SinceLastRx + SinceLastTx", 0},
        {"Rx[Tx[0]]", 0},
        {"CRC_CCITT1(Rx, Rx[0], 2) == 0", 0},
        {"1 ! 2", 2},
    };
    for (const Case& c : cases) {
        CompiledExpression out;
        EXPECT_EQ(compileExpression(c.text, out), c.status) << c.text;
    }
}

TEST(CompileExpression, RecordsReductionsInPostfixOrderWithoutGrouping) {
    struct Case {
        std::string_view text;
        std::vector<std::int32_t> rules;
    };
    const Case cases[] = {
        {"1", {0}},
        {"1+2*3", {0, 0, 7, 0, 6}},
        {"(1+2)", {0, 0, 7}},
        {"((1))", {0}},
        {"1+(2*3)", {0, 0, 0, 6, 7}},
        {"1-2-3", {0, 0, 7, 0, 7}},
        {"2*-3", {0, 0, 8, 6}},
        {"- -1", {0, 8, 8}},
        {"1- -2", {0, 0, 8, 7}},
        {"-1+2", {0, 8, 0, 7}},
        {"~0", {0, 9}},
        {"Rx[0] + 1", {0, 10, 0, 7}},
        {"CRC_CCITT1(Rx, 0, 4)", {0, 0, 1}},
        {"SUM(Rx, 0, 4)", {0, 0, 2}},
        {"BCC(Rx, 0, 4)", {0, 0, 3}},
        {"BCC2(Rx, 0, 4) & 65535", {0, 0, 4, 0, 6}},
        {"SinceStart", {11}},
        {"SinceLastRx", {12}},
        {"SinceLastTx", {13}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rulesOf(compileOrFail(c.text)), c.rules) << c.text;
    }
}

TEST(CompileExpression, CopiesMatchedTokensIntoEachReduction) {
    struct Case {
        std::string_view text;
        std::vector<Reduction> reductions;
    };
    const Case cases[] = {
        {"1-2",
         {{0, {number(1)}}, {0, {number(2)}}, {7, {expression(), additive(1), expression()}}}},
        {"3 << 0x10",
         {{0, {number(3)}}, {0, {number(16)}}, {6, {expression(), binary(13), expression()}}}},
        {"-7", {{0, {number(7)}}, {8, {additive(1), expression()}}}},
        {"~7", {{0, {number(7)}}, {9, {Token{TokenKind::ComplementOperator, 11, {}}, expression()}}}},
        {"Rx[2]",
         {{0, {number(2)}},
          {10, {identifier(u"Rx"), plain(TokenKind::LeftBracket), expression(), plain(TokenKind::RightBracket)}}}},
        {"CRC_CCITT1(Tx, 1, 4)",
         {{0, {number(1)}},
          {0, {number(4)}},
          {1,
           {plain(TokenKind::FunctionCrcCcitt1), plain(TokenKind::LeftParen), identifier(u"Tx"),
            plain(TokenKind::Comma), expression(), plain(TokenKind::Comma), expression(),
            plain(TokenKind::RightParen)}}}},
        {"LastSinceStart", {{11, {Token{TokenKind::TimeKeyword, 2, {}}}}}},
        {"SinceLastTx", {{13, {Token{TokenKind::SinceLastTxKeyword, -1, {}}}}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(compileOrFail(c.text).reductions, c.reductions) << c.text;
    }
}

TEST(CompileExpression, LeavesTargetUntouchedOnFailure) {
    const std::string_view texts[] = {"", "1+", "Rx", "1 2", "08", "1 ! 2", "SUM(Rx, 0)"};
    for (const std::string_view text : texts) {
        CompiledExpression out = sentinelProgram();
        CompileDiagnostic diagnostic;
        EXPECT_NE(compileExpression(text, out), 0) << text;
        EXPECT_NE(compileExpression(text, out, diagnostic), 0) << text;
        EXPECT_EQ(out, sentinelProgram()) << text;
    }
}

TEST(CompileExpression, ReplacesTargetOnSuccess) {
    CompiledExpression out = sentinelProgram();
    ASSERT_EQ(compileExpression("5", out), 0);
    EXPECT_EQ(out.reductions, (std::vector<Reduction>{{0, {number(5)}}}));
}

std::string spaced(std::string_view head, std::size_t blanks, std::string_view tail) {
    std::string text(head);
    text.append(blanks, ' ');
    text.append(tail);
    return text;
}

TEST(CompileExpression, ReadsAtMostTheLengthLimit) {
    const std::size_t limit = kMaxExpressionLength;
    struct Case {
        std::string name;
        std::string text;
        int status;
        std::vector<std::int32_t> rules;
    };
    const Case cases[] = {
        // The last readable position still completes the final token via the implied end.
        {"token ends just inside", spaced("1+", limit - 4, "2"), 0, {0, 0, 7}},
        // A token that is still open at the last readable position is dropped.
        {"token open at the limit", spaced("1+", limit - 3, "2"), 1, {}},
        {"token straddles the limit", spaced("1+", limit - 3, "22*3"), 1, {}},
        {"tail beyond the limit", spaced("1+2", limit - 3, spaced("*3", 950, "")), 0, {0, 0, 7}},
        {"invalid token beyond the limit", spaced("7", limit, "08"), 0, {0}},
    };
    for (const Case& c : cases) {
        CompiledExpression out;
        EXPECT_EQ(compileExpression(c.text, out), c.status) << c.name;
        EXPECT_EQ(rulesOf(out), c.rules) << c.name;
    }
    const std::string long3000 = spaced("1+2", 2995, "+4");
    CompiledExpression whole;
    CompiledExpression prefix;
    ASSERT_EQ(long3000.size(), 3000U);
    EXPECT_EQ(compileExpression(long3000, whole), compileExpression(long3000.substr(0, limit), prefix));
    EXPECT_EQ(whole, prefix);
}

TEST(CompileExpression, EndsTextAtEmbeddedNul) {
    CompiledExpression out;
    ASSERT_EQ(compileExpression(std::string_view("1+2\0*3", 6), out), 0);
    EXPECT_EQ(rulesOf(out), (std::vector<std::int32_t>{0, 0, 7}));
    EXPECT_EQ(compileExpression(std::string_view("\0" "1", 2), out), 1);
}

TEST(CompileExpression, StopsAtFirstInvalidToken) {
    CompileDiagnostic diagnostic;
    CompiledExpression out;
    EXPECT_EQ(compileExpression("08 + 1x", out, diagnostic), 2);
    EXPECT_EQ(diagnostic.tokenText, "08");
}

TEST(CompileDiagnostic, PointsAtTheOffendingToken) {
    struct Case {
        std::string_view text;
        CompileStatus status;
        std::string tokenText;
        std::size_t position;
    };
    const Case cases[] = {
        {"1+2", CompileStatus::Compiled, "", 0},
        {"", CompileStatus::SyntaxError, "", 0},
        {"  \t ", CompileStatus::SyntaxError, "", 0},
        {"SUM(Rx, 0)", CompileStatus::SyntaxError, "SUM", 0},
        {"1+", CompileStatus::SyntaxError, "+", 1},
        {"1 2", CompileStatus::SyntaxError, "2", 2},
        {"(1+2) (3)", CompileStatus::SyntaxError, "(", 6},
        {"1 + 2 Rx[0]", CompileStatus::SyntaxError, "Rx", 6},
        {"  Rx", CompileStatus::SyntaxError, "Rx", 2},
        {"2 * Rx", CompileStatus::SyntaxError, "*", 2},
        {"Since Start", CompileStatus::SyntaxError, "Since", 0},
        {"(1", CompileStatus::SyntaxError, "(", 0},
        {"1)", CompileStatus::SyntaxError, ")", 1},
        {"1 ! 2", CompileStatus::InvalidToken, "!", 2},
        {"x + 08", CompileStatus::InvalidToken, "08", 4},
        {"Rx[1] +1x", CompileStatus::InvalidToken, "1x", 7},
        {"1--1", CompileStatus::InvalidToken, "--", 1},
    };
    for (const Case& c : cases) {
        CompiledExpression out;
        CompileDiagnostic diagnostic{CompileStatus::InvalidToken, "stale", 99};
        EXPECT_EQ(compileExpression(c.text, out, diagnostic), static_cast<int>(c.status)) << c.text;
        EXPECT_EQ(diagnostic.status, c.status) << c.text;
        EXPECT_EQ(diagnostic.tokenText, c.tokenText) << c.text;
        EXPECT_EQ(diagnostic.position, c.position) << c.text;
    }
}

TEST(DescribeCompileFailure, NamesTokenAndOneBasedColumn) {
    struct Case {
        std::string_view text;
        std::string message;
    };
    const Case cases[] = {
        {"1+", "syntax error at '+' (column 2)"},
        {"SUM(Rx, 0)", "syntax error at 'SUM' (column 1)"},
        {"08", "invalid token '08' (column 1)"},
        {"1 ! 2", "invalid token '!' (column 3)"},
        {"", "syntax error: empty expression"},
        {"1", "no error"},
    };
    for (const Case& c : cases) {
        CompiledExpression out;
        CompileDiagnostic diagnostic;
        compileExpression(c.text, out, diagnostic);
        EXPECT_EQ(describeCompileFailure(diagnostic), c.message) << c.text;
    }
}

}  // namespace
}  // namespace orvalix
