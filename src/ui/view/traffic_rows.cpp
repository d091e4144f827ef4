#include "ui/view/traffic_rows.hpp"

#include <cstddef>

#include "core/project/record_access.hpp"
#include "core/traffic/log_files.hpp"
#include "ui/view/number_text.hpp"

namespace orvalix::ui {

namespace {

// Bit 30 and the low 16 bits report errors; bit 31 marks a received record.
constexpr std::uint32_t kErrorBits = 0x4000FFFFu;
constexpr std::uint32_t kReceivedBit = 0x80000000u;

}  // namespace

RecordShade recordShade(std::int32_t length, std::uint32_t attribute) {
    if (length <= 0) {
        return RecordShade::Window;
    }
    if (faultNumber(attribute) != 0) {
        return RecordShade::Fault;
    }
    if ((attribute & kErrorBits) != 0) {
        return RecordShade::Error;
    }
    if ((attribute & kReceivedBit) != 0) {
        return RecordShade::Received;
    }
    return RecordShade::Window;
}

std::u16string recordCellText(int column, std::int32_t length, std::uint64_t time, std::uint32_t attribute) {
    if (length <= 0) {
        return {};
    }
    switch (column) {
    case 0:
        return formatTime(time);
    case 1:
        return detail::decimalText(length);
    case 2:
        return detail::hexText(attribute, 8);
    default:
        return {};
    }
}

std::u16string markCellText(int column, const TrafficStream& stream, std::int32_t k) {
    if (column == 0) {
        const std::int64_t time = stream.markTime(k);
        return time >= 0 ? formatTime(static_cast<std::uint64_t>(time)) : std::u16string();
    }
    if (column == 1) {
        const std::int32_t condition = stream.markConditionNumber(k);
        const auto& conditions = stream.environment().namedConditions;
        if (condition >= 0 && static_cast<std::size_t>(condition) < conditions.size()) {
            return name(conditions[static_cast<std::size_t>(condition)]);
        }
    }
    return {};
}

std::int32_t byteListRows(std::int32_t length) { return length > 0 ? (length - 1) / kBytesPerRow + 1 : 0; }

std::u16string byteCellText(std::span<const std::uint8_t> record, std::int32_t row, int column) {
    if (record.empty() || column < 0 || column > kBytesPerRow) {
        return {};
    }
    const std::int64_t offset = std::int64_t{row} * kBytesPerRow;
    if (column == 0) {
        // printf's "%.4x" of the int offset, two's complement included.
        return detail::hexText(static_cast<std::uint32_t>(offset), 4);
    }
    const std::int64_t index = offset + column - 1;
    if (index < 0 || index >= static_cast<std::int64_t>(record.size())) {
        return {};
    }
    return detail::hexText(record[static_cast<std::size_t>(index)], 2);
}

}  // namespace orvalix::ui
