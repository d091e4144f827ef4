#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/project/project.hpp"

namespace orvalix {

// Copy of cell i, or an empty string when the row has i cells or fewer.
std::u16string cell(const std::vector<std::u16string>& cells, std::size_t i);
std::u16string cell(const RecordCells& cells, std::size_t i);

std::u16string label(const SequenceStep& step);
std::u16string frameName(const SequenceStep& step);
std::u16string jumpConditionText(const SequenceStep& step);
std::u16string jumpTarget(const SequenceStep& step);

std::u16string name(const NamedCondition& condition);
std::u16string markConditionText(const NamedCondition& condition);
std::u16string triggerConditionText(const NamedCondition& condition);

}  // namespace orvalix
