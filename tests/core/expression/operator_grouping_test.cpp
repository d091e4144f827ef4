#include "core/expression/operator_grouping.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/expression/compile_expression.hpp"

namespace orvalix {
namespace {

TEST(OperatorGrouping, ShowsTheLeftToRightGroupingWhereCPrecedenceReadsOtherwise) {
    struct Case {
        const char* rule;
        std::string_view text;
        std::string_view grouped;  // empty: no message
    };
    const Case cases[] = {
        {"a tighter operator after a looser one", "1+2*3", "(1+2)*3"},
        {"two comparisons joined by a mask", "R[0]==1&R[1]==3", "((R[0]==1)&R[1])==3"},
        {"a comparison after a mask; numbers show in decimal", "R[0] & 0x0F == 3", "(R[0]&15)==3"},
        {"a run of one precedence needs no parentheses of its own", "1+2+3*4", "(1+2+3)*4"},
        {"every change of precedence in the chain is shown", "1*2+3*4", "((1*2)+3)*4"},
        {"a sign stays apart from the operator before it", "1- -2*3", "(1- -2)*3"},
        {"prefix operators bind to their operand as in C", "~R[0]&0x0F==3", "(~R[0]&15)==3"},
        {"keywords and parentheses as written", "(SinceStart)>100&R[0]==1", "(((SinceStart)>100)&R[0])==1"},
        {"inside an index, in place", "R[1+2*3]", "R[(1+2)*3]"},
        {"inside a function's operand, in place", "BCC(R, 0, 1 | 2 << 1) == 5", "BCC(R, 0, (1|2)<<1)==5"},
        {"a misread chain inside parentheses", "(1+2*3)-1", "((1+2)*3)-1"},
        {"equal precedence is read left to right in C too", "1-2-3", ""},
        {"falling precedence reads the same", "R[0]*2+1<5==1&3^1|2", ""},
        {"parentheses that group as evaluated", "(1+2)*3", ""},
        {"parentheses that group as C would", "R[0]==1&(R[1]==3)", ""},
        {"a function's operands are chains of their own", "SUM(R, 1+2, 3)*2", ""},
        {"a text that does not compile", "1+*2", ""},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> message = describeOperatorGrouping(c.text);
        if (c.grouped.empty()) {
            EXPECT_FALSE(message) << c.rule << ": " << *message;
            continue;
        }
        ASSERT_TRUE(message) << c.rule;
        EXPECT_EQ(*message, "evaluates as " + std::string(c.grouped) +
                                " (strictly left to right, not by C operator precedence): add parentheses")
            << c.rule;
        // What is shown is the same program, and C reads it so.
        const std::optional<CompiledExpression> original = compileExpression(c.text).program;
        ASSERT_TRUE(original) << c.rule;
        EXPECT_EQ(compileExpression(c.grouped).program, original) << c.rule;
        EXPECT_FALSE(describeOperatorGrouping(c.grouped)) << c.rule;
    }
}

TEST(OperatorGrouping, ReductionsThatMakeNoExpressionGiveNoMessage) {
    const Token expression{TokenKind::Expression, 0, {}};
    const Token times{TokenKind::BinaryOperator, static_cast<std::int64_t>(OperatorCode::Multiply), {}};
    const Reduction one{static_cast<std::int32_t>(GrammarRuleId::Number), {{TokenKind::Number, 1, {}}}};
    const Reduction multiply{static_cast<std::int32_t>(GrammarRuleId::Binary), {expression, times, expression}};
    EXPECT_FALSE(describeOperatorGrouping(std::vector<Reduction>{one, multiply})) << "an operand short";
    EXPECT_FALSE(describeOperatorGrouping(std::vector<Reduction>{one, one})) << "two expressions left";
    EXPECT_FALSE(describeOperatorGrouping(std::vector<Reduction>{})) << "none";
}

}  // namespace
}  // namespace orvalix
