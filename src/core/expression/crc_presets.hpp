#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/expression/crc.hpp"

namespace orvalix {

// The CRC functions of the language that take only a range, in the order of their tables.
enum class CrcPreset : std::int32_t {
    Crc8 = 0,
    Crc16Arc,
    Crc16Modbus,
    Crc16Xmodem,
    Crc16Ibm3740,
    Crc16Kermit,
    Crc16Dnp,
    Crc32,
    Crc32c,
};

// Made at compile time, so a preset costs a table lookup per byte and nothing at start-up.
inline constexpr std::array<CrcTable, 9> kCrcPresetTables{
    CrcTable(kCrc8Smbus),   CrcTable(kCrc16Arc),   CrcTable(kCrc16Modbus),
    CrcTable(kCrc16Xmodem), CrcTable(kCrc16Ibm3740), CrcTable(kCrc16Kermit),
    CrcTable(kCrc16Dnp),    CrcTable(kCrc32IsoHdlc), CrcTable(kCrc32Iscsi),
};

// The table of a preset code, or nothing for a code that names none.
inline const CrcTable* crcPresetTable(std::int64_t code) {
    return code >= 0 && static_cast<std::size_t>(code) < kCrcPresetTables.size()
               ? &kCrcPresetTables[static_cast<std::size_t>(code)]
               : nullptr;
}

}  // namespace orvalix
