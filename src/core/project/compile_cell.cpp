#include <utility>

#include "core/expression/compile_expression.hpp"
#include "core/project/loaders.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix {

void compileCell(const std::vector<std::u16string>& row, std::size_t column, CompiledExpression& target,
                 ExpressionPlace place) {
    target = CompiledExpression{};
    if (row.size() <= column) {
        return;
    }
    // A failed compile leaves its output as it was, so compile into a fresh one.
    CompiledExpression compiled;
    if (compileExpression(toNarrow(row[column]), compiled, place) != 0) {
        return;
    }
    target = std::move(compiled);
}

}  // namespace orvalix
