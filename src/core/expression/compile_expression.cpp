#include "core/expression/compile_expression.hpp"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "core/expression/character_classes.hpp"
#include "core/expression/grammar_rules.hpp"

namespace orvalix {
namespace {

enum class Parentheses { Drop, Keep };

// A symbol on the parser's stack, with the source span of the first token it grew from so
// that a failed compile can point at it.
struct Symbol {
    Token token;
    std::size_t sourceStart = 0;
    std::size_t sourceLength = 0;
};

bool isGrouping(const Reduction& reduction) {
    return reduction.rule == static_cast<std::int32_t>(GrammarRuleId::Grouping);
}

class Reducer {
public:
    void shift(Token token, std::size_t sourceStart, std::size_t sourceLength) {
        stack_.push_back(Symbol{std::move(token), sourceStart, sourceLength});
        while (const auto rule = matchingRule()) {
            reduce(*rule);
        }
    }

    bool complete() const { return stack_.size() == 1 && stack_.front().token.kind == TokenKind::Expression; }

    // The first COPY that is not the whole program, or any COPY outside a frame row.
    const Symbol* misplacedCopy(ExpressionPlace place) const {
        for (const auto& [reduction, symbol] : copies_) {
            const bool whole = std::all_of(reductions_.begin() + static_cast<std::ptrdiff_t>(reduction) + 1,
                                           reductions_.end(), isGrouping);
            if (place != ExpressionPlace::FrameRow || !whole) {
                return &symbol;
            }
        }
        return nullptr;
    }

    std::vector<Reduction> takeReductions(Parentheses parentheses) {
        // Grouping only steers the reduction order; it leaves nothing to evaluate.
        if (parentheses == Parentheses::Drop) {
            std::erase_if(reductions_, isGrouping);
        }
        return std::move(reductions_);
    }

    // The symbol where reducing got stuck: the first one that is not an Expression, else
    // the second Expression; nothing when no token was shifted.
    const Symbol* stuckSymbol() const {
        for (const Symbol& symbol : stack_) {
            if (symbol.token.kind != TokenKind::Expression) {
                return &symbol;
            }
        }
        return stack_.size() >= 2 ? &stack_[1] : nullptr;
    }

private:
    std::optional<std::size_t> matchingRule() const {
        for (std::size_t index = 0; index < detail::kGrammarRules.size(); ++index) {
            const detail::GrammarRule& rule = detail::kGrammarRules[index];
            if (stack_.size() < rule.length) {
                continue;
            }
            const std::size_t base = stack_.size() - rule.length;
            bool matches = true;
            for (std::size_t i = 0; i < rule.length && matches; ++i) {
                matches = stack_[base + i].token.kind == rule.symbols[i];
            }
            if (matches) {
                return index;
            }
        }
        return std::nullopt;
    }

    void reduce(std::size_t ruleIndex) {
        const std::size_t length = detail::kGrammarRules[ruleIndex].length;
        const std::size_t base = stack_.size() - length;
        Reduction reduction;
        reduction.rule = static_cast<std::int32_t>(detail::kGrammarRules[ruleIndex].id);
        reduction.tokens.reserve(length);
        for (std::size_t i = base; i < stack_.size(); ++i) {
            reduction.tokens.push_back(std::move(stack_[i].token));
        }
        if (reduction.rule == static_cast<std::int32_t>(GrammarRuleId::Copy)) {
            copies_.emplace_back(reductions_.size(), stack_[base]);
        }
        reductions_.push_back(std::move(reduction));
        Symbol result{Token{TokenKind::Expression, 0, {}}, stack_[base].sourceStart, stack_[base].sourceLength};
        stack_.resize(base);
        stack_.push_back(std::move(result));
    }

    std::vector<Symbol> stack_;
    std::vector<Reduction> reductions_;
    // Each COPY reduction's place among the reductions, and where its name stands in the text.
    std::vector<std::pair<std::size_t, Symbol>> copies_;
};

void describeAt(CompileDiagnostic& diagnostic, CompileStatus status, std::string_view text, std::size_t start,
                std::size_t length) {
    diagnostic.status = status;
    diagnostic.tokenText.assign(text.substr(start, length));
    diagnostic.position = start;
}

Compilation<std::vector<Reduction>> reduce(std::string_view text, ExpressionPlace place,
                                           Parentheses parentheses) {
    Compilation<std::vector<Reduction>> compilation;
    CompileDiagnostic& diagnostic = compilation.diagnostic;
    Reducer reducer;
    // A token never holds a blank, so the one being collected is a plain span of the text.
    std::size_t tokenStart = 0;
    std::size_t tokenLength = 0;
    bool invalid = false;

    for (std::size_t pos = 0; pos < kMaxExpressionLength; ++pos) {
        // The end of the view reads as the NUL that ends the text.
        const char c = pos < text.size() ? text[pos] : '\0';
        if (tokenLength != 0 && detail::endsTokenBefore(text[tokenStart + tokenLength - 1], c)) {
            const std::string_view piece = text.substr(tokenStart, tokenLength);
            if (std::optional<Token> token = classifyToken(piece)) {
                reducer.shift(std::move(*token), tokenStart, tokenLength);
            } else {
                invalid = true;
                describeAt(diagnostic, CompileStatus::InvalidToken, text, tokenStart, tokenLength);
            }
            tokenLength = 0;
        }
        if (!detail::isBlank(c)) {
            if (tokenLength == 0) {
                tokenStart = pos;
            }
            ++tokenLength;
        }
        if (c == '\0' || invalid) {
            break;
        }
    }
    // Reaching the length limit drops the token still being collected.

    if (invalid) {
        return compilation;
    }
    if (!reducer.complete()) {
        diagnostic.status = CompileStatus::SyntaxError;
        if (const Symbol* stuck = reducer.stuckSymbol()) {
            describeAt(diagnostic, CompileStatus::SyntaxError, text, stuck->sourceStart, stuck->sourceLength);
        }
        return compilation;
    }
    if (const Symbol* copy = reducer.misplacedCopy(place)) {
        describeAt(diagnostic, CompileStatus::MisplacedCopy, text, copy->sourceStart, copy->sourceLength);
        return compilation;
    }
    compilation.program = reducer.takeReductions(parentheses);
    return compilation;
}

}  // namespace

Compilation<std::vector<Reduction>> compileReductions(std::string_view text, ExpressionPlace place) {
    return reduce(text, place, Parentheses::Drop);
}

Compilation<std::vector<Reduction>> compileReductionsAsWritten(std::string_view text, ExpressionPlace place) {
    return reduce(text, place, Parentheses::Keep);
}

Compilation<CompiledExpression> compileExpression(std::string_view text, ExpressionPlace place) {
    Compilation<std::vector<Reduction>> reduced = compileReductions(text, place);
    if (!reduced.program) {
        return {std::nullopt, std::move(reduced.diagnostic)};
    }
    return {flattenProgram(std::move(*reduced.program)), std::move(reduced.diagnostic)};
}

}  // namespace orvalix
