#include "core/service/build_frame.hpp"

#include <algorithm>
#include <cstdint>

#include "core/expression/evaluate_expression.hpp"

namespace orvalix {
namespace {

ByteBuffer& storeEntry(NamedStore& store, std::u16string_view name) {
    auto found = store.find(name);
    if (found == store.end()) {
        found = store.emplace(std::u16string(name), ByteBuffer{}).first;
    }
    return found->second;
}

void putByte(ByteBuffer& buffer, std::size_t position, std::uint8_t byte) {
    buffer.data[position] = byte;
    buffer.length = std::max(buffer.length, static_cast<std::uint32_t>(position + 1));
}

}  // namespace

int fieldWidth(const CompiledExpression& expression) {
    if (expression.empty()) {
        return 1;
    }
    const auto rule = static_cast<GrammarRuleId>(expression.lastRule());
    return rule == GrammarRuleId::CrcCcitt1 || rule == GrammarRuleId::Bcc2 ? 2 : 1;
}

void buildFrame(std::u16string_view frameName, const FrameDefinition& definition, ByteBuffer& transmitBuffer,
                NamedStore& namedStore, EvaluationContext& context) {
    const std::size_t rows = definition.size();
    const auto initialLength = static_cast<std::uint32_t>(std::min(rows, kMaxFrameLength));
    ByteBuffer& stored = storeEntry(namedStore, frameName);
    transmitBuffer.length = initialLength;
    stored.length = initialLength;

    std::size_t position = 0;
    while (position < rows) {
        const CompiledExpression& field = definition[position];
        std::int64_t value = evaluateExpression(field, context);
        const int width = fieldWidth(field);
        for (int i = 0; i < width; ++i) {
            const std::size_t target = position + static_cast<std::size_t>(i);
            if (target < kMaxFrameLength) {
                const auto byte = static_cast<std::uint8_t>(value & 0xFF);
                putByte(transmitBuffer, target, byte);
                putByte(stored, target, byte);
            }
            value >>= 8;  // arithmetic: the high byte of -1 is FF
        }
        setNamedBytes(context.names, kTransmitName, transmitBuffer.data.data(), transmitBuffer.length);
        setNamedBytes(context.names, frameName, stored.data.data(), stored.length);
        position += static_cast<std::size_t>(width);
    }
}

}  // namespace orvalix
