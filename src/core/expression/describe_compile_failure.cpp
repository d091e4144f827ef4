#include <string>

#include "core/expression/compile_expression.hpp"

namespace orvalix {

std::string describeCompileFailure(const CompileDiagnostic& diagnostic) {
    const std::string column = " (column " + std::to_string(diagnostic.position + 1) + ")";
    switch (diagnostic.status) {
    case CompileStatus::Compiled:
        return "no error";
    case CompileStatus::InvalidToken:
        return "invalid token '" + diagnostic.tokenText + "'" + column;
    case CompileStatus::MisplacedCopy:
        return "COPY must be a frame row's whole expression" + column;
    case CompileStatus::SyntaxError:
        break;
    }
    if (diagnostic.tokenText.empty()) {
        return "syntax error: empty expression";
    }
    return "syntax error at '" + diagnostic.tokenText + "'" + column;
}

}  // namespace orvalix
