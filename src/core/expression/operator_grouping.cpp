#include "core/expression/operator_grouping.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/expression/compile_expression.hpp"

namespace orvalix {
namespace {

// How tightly C binds a binary operator; higher binds tighter. Nothing for a code no binary
// operator has.
std::optional<int> cPrecedence(std::int64_t code) {
    switch (static_cast<OperatorCode>(code)) {
    case OperatorCode::Multiply:
    case OperatorCode::Divide:
    case OperatorCode::Remainder:
        return 10;
    case OperatorCode::Add:
    case OperatorCode::Subtract:
        return 9;
    case OperatorCode::ShiftLeft:
    case OperatorCode::ShiftRight:
        return 8;
    case OperatorCode::Greater:
    case OperatorCode::Less:
    case OperatorCode::GreaterEqual:
    case OperatorCode::LessEqual:
        return 7;
    case OperatorCode::Equal:
    case OperatorCode::NotEqual:
        return 6;
    case OperatorCode::BitAnd:
        return 5;
    case OperatorCode::BitXor:
        return 4;
    case OperatorCode::BitOr:
        return 3;
    case OperatorCode::Complement:
        break;
    }
    return std::nullopt;
}

enum class Shape { Binary, Prefix, Other };

// One reduction and the nodes of its sub-expressions, in source order.
struct Node {
    const Reduction* reduction = nullptr;
    Shape shape = Shape::Other;
    int precedence = 0;  // of a binary operator
    std::vector<std::size_t> operands;
};

bool isExpression(const Token& token) { return token.kind == TokenKind::Expression; }

// Which rules are operators is fixed; any other rule (a function, indexing, parentheses, a
// keyword) is told apart by its tokens alone, whatever operands it takes.
std::optional<Node> makeNode(const Reduction& reduction) {
    Node node;
    node.reduction = &reduction;
    const std::vector<Token>& tokens = reduction.tokens;
    switch (static_cast<GrammarRuleId>(reduction.rule)) {
    case GrammarRuleId::Binary:
    case GrammarRuleId::Additive: {
        if (tokens.size() != 3 || !isExpression(tokens[0]) || isExpression(tokens[1]) ||
            !isExpression(tokens[2])) {
            return std::nullopt;
        }
        const std::optional<int> precedence = cPrecedence(tokens[1].value);
        if (!precedence) {
            return std::nullopt;
        }
        node.shape = Shape::Binary;
        node.precedence = *precedence;
        return node;
    }
    case GrammarRuleId::Unary:
    case GrammarRuleId::Complement:
        if (tokens.size() != 2 || isExpression(tokens[0]) || !isExpression(tokens[1])) {
            return std::nullopt;
        }
        node.shape = Shape::Prefix;
        return node;
    default:
        return node;
    }
}

class OperatorTree {
public:
    // Nothing when the reductions do not make one expression.
    static std::optional<OperatorTree> build(const std::vector<Reduction>& reductions) {
        OperatorTree tree;
        std::vector<std::size_t> stack;
        for (const Reduction& reduction : reductions) {
            std::optional<Node> node = makeNode(reduction);
            const auto count = static_cast<std::size_t>(
                std::count_if(reduction.tokens.begin(), reduction.tokens.end(), isExpression));
            if (!node || stack.size() < count) {
                return std::nullopt;
            }
            node->operands.assign(stack.end() - static_cast<std::ptrdiff_t>(count), stack.end());
            stack.resize(stack.size() - count);
            stack.push_back(tree.nodes_.size());
            tree.nodes_.push_back(std::move(*node));
        }
        if (stack.size() != 1) {
            return std::nullopt;
        }
        tree.root_ = stack.front();
        return tree;
    }

    // Evaluated left to right, a chain "a op1 b op2 c" is "(a op1 b) op2 c": C reads it so
    // only while the operators' precedence never rises along the chain.
    bool misread() const {
        return std::any_of(nodes_.begin(), nodes_.end(), [this](const Node& node) { return risesAt(node); });
    }

    std::string render() const {
        std::string text;
        render(root_, text);
        return text;
    }

private:
    OperatorTree() = default;

    bool isBinary(std::size_t index) const { return nodes_[index].shape == Shape::Binary; }

    // Whether the operator before this binary node's right operand binds looser in C than its own.
    bool risesAt(const Node& node) const {
        return node.shape == Shape::Binary && isBinary(node.operands[0]) &&
               nodes_[node.operands[0]].precedence < node.precedence;
    }

    // The binary nodes of a chain hang off its top along their left operands.
    bool chainMisread(std::size_t top) const {
        for (std::size_t index = top; isBinary(index); index = nodes_[index].operands[0]) {
            if (risesAt(nodes_[index])) {
                return true;
            }
        }
        return false;
    }

    // A sign after an operator ending in a sign would make one token of both.
    static void appendOperand(std::string& text, std::string_view operand) {
        const auto isSign = [](char c) { return c == '+' || c == '-'; };
        if (!text.empty() && !operand.empty() && isSign(text.back()) && isSign(operand.front())) {
            text += ' ';
        }
        text += operand;
    }

    void renderInParentheses(std::size_t index, std::string& text) const {
        text += '(';
        render(index, text);
        text += ')';
    }

    // An operand that is itself a chain (only a program made by hand has one) gets parentheses.
    void renderOperand(std::size_t index, std::string& text) const {
        std::string operand;
        if (isBinary(index)) {
            renderInParentheses(index, operand);
        } else {
            render(index, operand);
        }
        appendOperand(text, operand);
    }

    void render(std::size_t index, std::string& text) const {
        const Node& node = nodes_[index];
        const std::vector<Token>& tokens = node.reduction->tokens;
        if (node.shape == Shape::Binary) {
            renderChain(index, chainMisread(index), text);
        } else if (node.shape == Shape::Prefix) {
            text += tokenText(tokens[0]);
            renderOperand(node.operands[0], text);
        } else {
            std::size_t next = 0;
            for (const Token& token : tokens) {
                if (isExpression(token)) {
                    render(node.operands[next++], text);
                } else {
                    text += token.kind == TokenKind::Comma ? ", " : tokenText(token);
                }
            }
        }
    }

    // In a misread chain every change of precedence gets parentheses, so that the grouping shows
    // however the reader ranks the operators; runs of one precedence need none.
    void renderChain(std::size_t index, bool misread, std::string& text) const {
        const Node& node = nodes_[index];
        const std::size_t left = node.operands[0];
        if (!isBinary(left)) {
            render(left, text);
        } else if (misread && nodes_[left].precedence != node.precedence) {
            text += '(';
            renderChain(left, misread, text);
            text += ')';
        } else {
            renderChain(left, misread, text);
        }
        text += tokenText(node.reduction->tokens[1]);
        renderOperand(node.operands[1], text);
    }

    std::vector<Node> nodes_;
    std::size_t root_ = 0;
};

}  // namespace

std::optional<std::string> describeOperatorGrouping(const std::vector<Reduction>& writtenReductions) {
    const std::optional<OperatorTree> tree = OperatorTree::build(writtenReductions);
    if (!tree || !tree->misread()) {
        return std::nullopt;
    }
    return "evaluates as " + tree->render() +
           " (strictly left to right, not by C operator precedence): add parentheses";
}

std::optional<std::string> describeOperatorGrouping(std::string_view text) {
    const Compilation<std::vector<Reduction>> reduced = compileReductionsAsWritten(text);
    if (!reduced.program) {
        return std::nullopt;
    }
    return describeOperatorGrouping(*reduced.program);
}

}  // namespace orvalix
