#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/expression/compiled_expression.hpp"

namespace orvalix {

// Longest expression text that is read; the rest is ignored.
inline constexpr std::size_t kMaxExpressionLength = 2048;

enum class CompileStatus : int {
    Compiled = 0,
    SyntaxError = 1,
    InvalidToken = 2,
};

// A failed compile, told so that a user can find it.
struct CompileDiagnostic {
    CompileStatus status = CompileStatus::Compiled;
    // The offending token's text (the invalid token, or the symbol where the reduction
    // stuck); empty for an expression with no token at all.
    std::string tokenText;
    // 0-based byte offset of that token in the text.
    std::size_t position = 0;
};

// Classifies one collected token text. Status 0 with a valid token, or 2 with kind -1.
int classifyToken(std::string_view text, Token& token);

// Compiles text (UTF-8). On status 0 out is replaced; on 1 or 2 it is left as it was.
int compileExpression(std::string_view text, CompiledExpression& out);

// The same compile, also telling where a failure lies.
int compileExpression(std::string_view text, CompiledExpression& out, CompileDiagnostic& diagnostic);

}  // namespace orvalix
