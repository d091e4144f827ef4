#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/expression/compiled_expression.hpp"

namespace orvalix {

// Expressions evaluate strictly left to right: "1+2*3" is 9 and "a==b&c==d" is
// "((a==b)&c)==d". When an unparenthesized operator chain reads otherwise under C
// precedence, says how it is grouped instead, e.g.
// "evaluates as ((R[0]==1)&R[1])==3 (left to right, ...): add parentheses ...";
// nothing when both readings agree or the text does not compile.
std::optional<std::string> describeOperatorGrouping(std::string_view text);

// The same from reductions that keep their Grouping reductions (compileReductionsAsWritten):
// without them "(1+2)*3" could not be told from "1+2*3". Nothing for malformed reductions.
std::optional<std::string> describeOperatorGrouping(const std::vector<Reduction>& writtenReductions);

}  // namespace orvalix
