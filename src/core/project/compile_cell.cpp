#include <optional>
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
    if (std::optional<CompiledExpression> compiled =
            compileExpression(toNarrow(row[column]), place).program) {
        target = std::move(*compiled);
    }
}

}  // namespace orvalix
