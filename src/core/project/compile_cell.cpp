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
    Compilation<CompiledExpression> compilation = compileExpression(toNarrow(row[column]), place);
    if (compilation.program) {
        target = std::move(*compilation.program);
    }
}

}  // namespace orvalix
