#pragma once

#include <cstdint>
#include <span>

namespace orvalix {

// CRC-16/X-25 (HDLC): reflected 0x1021, initial 0xFFFF, final xor 0xFFFF.
std::int64_t crcCcitt1(std::span<const std::uint8_t> bytes);
// 32-bit complement of the unsigned 32-bit byte sum, sign-extended.
std::int64_t sumChecksum(std::span<const std::uint8_t> bytes);
// Exclusive or of all bytes.
std::int64_t bcc(std::span<const std::uint8_t> bytes);
// Odd-distance xor in the high byte, even-distance xor in the low byte.
std::int64_t bcc2(std::span<const std::uint8_t> bytes);

}  // namespace orvalix
