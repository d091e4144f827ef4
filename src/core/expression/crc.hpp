#pragma once

#include <cstdint>
#include <span>

namespace orvalix {

// A CRC as the catalogues describe one: width in bits (1 to 64), polynomial without its top
// bit, initial register value, whether input bytes and the result are reflected, and the value
// the result is exclusive-ored with. Values wider than the width are cut to it.
struct CrcParameters {
    int width = 0;
    std::uint64_t polynomial = 0;
    std::uint64_t initial = 0;
    bool reflectIn = false;
    bool reflectOut = false;
    std::uint64_t xorOut = 0;
};

// The CRC of the bytes; 0 for a width outside 1 to 64.
std::uint64_t crc(const CrcParameters& parameters, std::span<const std::uint8_t> bytes);

// Catalogue entries by their catalogue names.
inline constexpr CrcParameters kCrc8Smbus{8, 0x07, 0x00, false, false, 0x00};
inline constexpr CrcParameters kCrc16Arc{16, 0x8005, 0x0000, true, true, 0x0000};
inline constexpr CrcParameters kCrc16Modbus{16, 0x8005, 0xFFFF, true, true, 0x0000};
inline constexpr CrcParameters kCrc16Xmodem{16, 0x1021, 0x0000, false, false, 0x0000};
inline constexpr CrcParameters kCrc16Ibm3740{16, 0x1021, 0xFFFF, false, false, 0x0000};  // "CCITT-FALSE"
inline constexpr CrcParameters kCrc16Kermit{16, 0x1021, 0x0000, true, true, 0x0000};
inline constexpr CrcParameters kCrc16Dnp{16, 0x3D65, 0x0000, true, true, 0xFFFF};
inline constexpr CrcParameters kCrc32IsoHdlc{32, 0x04C11DB7, 0xFFFFFFFF, true, true, 0xFFFFFFFF};
inline constexpr CrcParameters kCrc32Iscsi{32, 0x1EDC6F41, 0xFFFFFFFF, true, true, 0xFFFFFFFF};  // "CRC32C"

}  // namespace orvalix
