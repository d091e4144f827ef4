#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/project/project.hpp"

namespace orvalix {

// Views of the record cells the cycle reads. The project's accessors return copies; these
// read in place, so that the per-byte path builds no strings.
inline std::u16string_view cellText(const RecordCells& cells, std::size_t i) {
    return i < cells.size() ? cells[i] : std::u16string_view();
}

inline std::u16string_view stepLabel(const SequenceStep& step) { return cellText(step.cells, 0); }
inline std::u16string_view stepFrameName(const SequenceStep& step) { return cellText(step.cells, 2); }
inline std::u16string_view stepJumpConditionText(const SequenceStep& step) { return cellText(step.cells, 3); }
inline std::u16string_view stepJumpTarget(const SequenceStep& step) { return cellText(step.cells, 4); }

inline std::u16string_view conditionName(const NamedCondition& condition) { return cellText(condition.cells, 0); }
inline std::u16string_view conditionMarkText(const NamedCondition& condition) { return cellText(condition.cells, 2); }
inline std::u16string_view conditionTriggerText(const NamedCondition& condition) {
    return cellText(condition.cells, 3);
}

}  // namespace orvalix
