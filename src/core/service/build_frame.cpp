#include "core/service/build_frame.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/expression/evaluate_expression.hpp"
#include "core/expression/field_layout.hpp"

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

// The frame in its two places: the transmit buffer and the store entry of its name.
struct FrameTargets {
    ByteBuffer& transmit;
    ByteBuffer& stored;

    void put(std::size_t position, std::uint8_t byte) {
        if (position < kMaxFrameLength) {
            putByte(transmit, position, byte);
            putByte(stored, position, byte);
        }
    }

    // The source may be either buffer itself, so the bytes are moved into one and taken from
    // there into the other.
    void put(std::size_t position, std::span<const std::uint8_t> bytes) {
        if (position >= kMaxFrameLength || bytes.empty()) {
            return;
        }
        const std::size_t count = std::min(bytes.size(), kMaxFrameLength - position);
        std::memmove(transmit.data.data() + position, bytes.data(), count);
        std::memcpy(stored.data.data() + position, transmit.data.data() + position, count);
        const auto end = static_cast<std::uint32_t>(position + count);
        transmit.length = std::max(transmit.length, end);
        stored.length = std::max(stored.length, end);
    }
};

void putValue(FrameTargets& targets, std::size_t position, std::int64_t value, const FieldLayout& layout) {
    const auto width = static_cast<std::size_t>(layout.width);
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t target = layout.highFirst ? position + width - 1 - i : position + i;
        targets.put(target, static_cast<std::uint8_t>(value & 0xFF));
        value >>= 8;  // arithmetic: the high byte of -1 is FF
    }
}

}  // namespace

void buildFrame(std::u16string_view frameName, const FrameDefinition& definition, ByteBuffer& transmitBuffer,
                NamedStore& namedStore, EvaluationContext& context) {
    const std::size_t rows = definition.size();
    const auto initialLength = static_cast<std::uint32_t>(std::min(rows, kMaxFrameLength));
    FrameTargets targets{transmitBuffer, storeEntry(namedStore, frameName)};
    targets.transmit.length = initialLength;
    targets.stored.length = initialLength;

    // Rows and positions part once a COPY fills other than one position.
    std::size_t row = 0;
    std::size_t position = 0;
    bool copied = false;
    while (row < rows) {
        const CompiledExpression& field = definition[row];
        context.building = BuildProgress{kTransmitName, static_cast<std::uint32_t>(std::min(position, kMaxFrameLength))};
        const FieldLayout layout = fieldLayout(field);
        if (layout.copies) {
            const std::span<const std::uint8_t> bytes = evaluateCopy(field, context);
            targets.put(position, bytes);
            position += bytes.size();
            row += 1;
            copied = true;
        } else {
            putValue(targets, position, evaluateExpression(field, context), layout);
            position += static_cast<std::size_t>(layout.width);
            row += static_cast<std::size_t>(layout.width);
        }
        setNamedBytes(context.names, kTransmitName, targets.transmit.data.data(), targets.transmit.length);
        setNamedBytes(context.names, frameName, targets.stored.data.data(), targets.stored.length);
    }
    context.building.reset();
    if (copied) {
        // The rows no longer tell the length: the frame ends where its last field does.
        const auto length = static_cast<std::uint32_t>(std::min(position, kMaxFrameLength));
        targets.transmit.length = length;
        targets.stored.length = length;
        setNamedBytes(context.names, kTransmitName, targets.transmit.data.data(), length);
        setNamedBytes(context.names, frameName, targets.stored.data.data(), length);
    }
}

}  // namespace orvalix
