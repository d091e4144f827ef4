#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/project/project.hpp"
#include "core/traffic/traffic_stream.hpp"

namespace orvalix::ui {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A record row's background: the window colour for sent records and empty rows; a record that
// a rule of the fault file touched (bit 30 with the rule's number) has its own.
enum class RecordShade { Window, Received, Error, Fault };
RecordShade recordShade(std::int32_t length, std::uint32_t attribute);
inline constexpr Rgb kReceivedColour{210, 244, 189};
inline constexpr Rgb kErrorColour{239, 194, 200};
inline constexpr Rgb kFaultColour{255, 221, 150};

// Column texts of the record list (time, length, attribute); empty for a record without data.
// The time column is formatted in local time.
std::u16string recordCellText(int column, std::int32_t length, std::uint64_t time, std::uint32_t attribute);

// Column texts of the mark list (time, condition name) for mark k, oldest first.
std::u16string markCellText(int column, const TrafficStream& stream, std::int32_t k);

// The byte list shows a record 8 bytes a row: column 0 the row's offset, columns 1 to 8 its bytes.
inline constexpr int kBytesPerRow = 8;
std::int32_t byteListRows(std::int32_t length);
std::u16string byteCellText(std::span<const std::uint8_t> record, std::int32_t row, int column);

}  // namespace orvalix::ui
