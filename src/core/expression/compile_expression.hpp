#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/expression/compiled_expression.hpp"

namespace orvalix {

// Longest expression text that is read; the rest is ignored.
inline constexpr std::size_t kMaxExpressionLength = 2048;

enum class CompileStatus {
    Compiled,
    SyntaxError,
    InvalidToken,
    MisplacedCopy,  // COPY anywhere but as a frame row's whole expression
};

// Where an expression stands decides what it may hold: only a frame row may be a COPY.
enum class ExpressionPlace {
    Value,
    FrameRow,
};

// A failed compile, told so that a user can find it.
struct CompileDiagnostic {
    CompileStatus status = CompileStatus::Compiled;
    // The offending token's text: the invalid token, or where reducing got stuck (the first
    // symbol left that is not an Expression, else the first token of the second Expression).
    // Empty for an expression with no token at all.
    std::string tokenText;
    // 0-based byte offset of that token in the text.
    std::size_t position = 0;
};

// What a compile gives: the program, or why there is none and where that lies.
template <typename Program>
struct Compilation {
    std::optional<Program> program;
    CompileDiagnostic diagnostic;  // status Compiled when there is a program
};

// A keyword or function name: text that has an identifier's shape but never reads as one.
bool isReservedWord(std::string_view text);

// The token one collected text reads as, or nothing when it reads as none.
std::optional<Token> classifyToken(std::string_view text);

// A text that classifies as the token: numbers in decimal, identifiers by name (ASCII), and
// empty for an Expression placeholder or a token no text gives.
std::string tokenText(const Token& token);

// Reduces text (UTF-8) to its postfix reductions, the first half of compiling. The text is
// read as compileExpression reads it.
Compilation<std::vector<Reduction>> compileReductions(std::string_view text,
                                                      ExpressionPlace place = ExpressionPlace::Value);

// The same, keeping the Grouping reductions that compileReductions leaves out (parentheses only
// steer the reduction order): they tell how the text was written, which the evaluation ignores.
Compilation<std::vector<Reduction>> compileReductionsAsWritten(
    std::string_view text, ExpressionPlace place = ExpressionPlace::Value);

// Compiles text (UTF-8) into its flat form.
// The text ends at its first NUL or at the end of the view; at most kMaxExpressionLength
// characters are read, and a token still open at that limit is dropped.
Compilation<CompiledExpression> compileExpression(std::string_view text,
                                                  ExpressionPlace place = ExpressionPlace::Value);

// One English line for a user, e.g. "syntax error at '+' (column 2)"; columns count from 1.
std::string describeCompileFailure(const CompileDiagnostic& diagnostic);

}  // namespace orvalix
