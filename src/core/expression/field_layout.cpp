#include "core/expression/field_layout.hpp"

#include "core/expression/crc_presets.hpp"

namespace orvalix {
namespace {

int bytesOfWidth(int bits) { return bits >= 1 && bits <= 64 ? (bits + 7) / 8 : 1; }

// The code a function's first token carries, from the flat form's last step or the last reduction.
std::int64_t outermostCode(const CompiledExpression& expression) {
    if (expression.flat()) {
        return expression.instructions().empty() ? -1 : expression.instructions().back().value;
    }
    const Reduction& last = expression.reductions().back();
    return last.tokens.empty() ? -1 : last.tokens.front().value;
}

FieldLayout genericCrcLayout(const CompiledExpression& expression) {
    if (expression.flat() && !expression.instructions().empty()) {
        const Instruction& last = expression.instructions().back();
        const auto table = static_cast<std::size_t>(last.value);
        if (last.kind == InstructionKind::RangeCrcTable && table < expression.crcTables().size()) {
            return {bytesOfWidth(expression.crcTables()[table].parameters().width)};
        }
        if (last.kind == InstructionKind::RangeCrc && last.value != 0) {
            return {bytesOfWidth(static_cast<int>(last.value))};
        }
    }
    return {.width = 1, .widthUnknown = true};
}

}  // namespace

FieldLayout fieldLayout(const CompiledExpression& expression) {
    if (expression.empty()) {
        return {};
    }
    switch (static_cast<GrammarRuleId>(expression.lastRule())) {
    case GrammarRuleId::CrcCcitt1:
    case GrammarRuleId::Bcc2:
        return {2};
    case GrammarRuleId::CrcPreset: {
        const CrcTable* table = crcPresetTable(outermostCode(expression));
        return {table == nullptr ? 1 : bytesOfWidth(table->parameters().width)};
    }
    case GrammarRuleId::Crc:
        return genericCrcLayout(expression);
    case GrammarRuleId::ByteOrder:
        switch (static_cast<FieldByteOrder>(outermostCode(expression))) {
        case FieldByteOrder::Le16:
            return {2};
        case FieldByteOrder::Be16:
            return {2, true};
        case FieldByteOrder::Le32:
            return {4};
        case FieldByteOrder::Be32:
            return {4, true};
        }
        return {};
    case GrammarRuleId::Copy:
        return {.width = 0, .copies = true};
    default:
        return {};
    }
}

std::int64_t applyByteOrder(std::int64_t code, std::int64_t value) {
    switch (static_cast<FieldByteOrder>(code)) {
    case FieldByteOrder::Le16:
    case FieldByteOrder::Be16:
        return value & 0xFFFF;
    case FieldByteOrder::Le32:
    case FieldByteOrder::Be32:
        return value & 0xFFFFFFFF;
    }
    return -1;
}

}  // namespace orvalix
