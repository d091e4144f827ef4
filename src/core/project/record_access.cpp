#include "core/project/record_access.hpp"

namespace orvalix {

std::u16string cell(const std::vector<std::u16string>& cells, std::size_t i) {
    if (i >= cells.size()) {
        return {};
    }
    return cells[i];
}

std::u16string cell(const RecordCells& cells, std::size_t i) {
    if (i >= cells.size()) {
        return {};
    }
    return std::u16string(cells[i]);
}

std::u16string label(const SequenceStep& step) { return cell(step.cells, 0); }
std::u16string frameName(const SequenceStep& step) { return cell(step.cells, 2); }
std::u16string jumpConditionText(const SequenceStep& step) { return cell(step.cells, 3); }
std::u16string jumpTarget(const SequenceStep& step) { return cell(step.cells, 4); }

std::u16string name(const NamedCondition& condition) { return cell(condition.cells, 0); }
std::u16string markConditionText(const NamedCondition& condition) { return cell(condition.cells, 2); }
std::u16string triggerConditionText(const NamedCondition& condition) { return cell(condition.cells, 3); }

}  // namespace orvalix
