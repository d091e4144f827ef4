#include "core/expression/checksums.hpp"

#include <array>
#include <cstdint>

namespace orvalix {
namespace {

constexpr std::uint16_t kReflectedPolynomial = 0x8408;

constexpr std::array<std::uint16_t, 256> makeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned r = byte;
        for (int bit = 0; bit < 8; ++bit) {
            r = (r & 1U) != 0 ? (r >> 1U) ^ kReflectedPolynomial : r >> 1U;
        }
        table[byte] = static_cast<std::uint16_t>(r);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = makeCrcTable();

}  // namespace

std::int64_t crcCcitt1(std::span<const std::uint8_t> bytes) {
    unsigned r = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        r = (r >> 8U) ^ kCrcTable[(r ^ b) & 0xFFU];
    }
    return static_cast<std::int64_t>(~r & 0xFFFFU);
}

std::int64_t sumChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (const std::uint8_t b : bytes) {
        sum += b;
    }
    return static_cast<std::int32_t>(~sum);
}

std::int64_t bcc(std::span<const std::uint8_t> bytes) {
    unsigned x = 0;
    for (const std::uint8_t b : bytes) {
        x ^= b;
    }
    return static_cast<std::int64_t>(x);
}

std::int64_t bcc2(std::span<const std::uint8_t> bytes) {
    unsigned even = 0;
    unsigned odd = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        even ^= bytes[i];
        odd ^= bytes[i + 1];
    }
    if (i < bytes.size()) {
        even ^= bytes[i];
    }
    return static_cast<std::int64_t>(odd * 256U + even);
}

}  // namespace orvalix
