#include "core/expression/crc.hpp"

namespace orvalix {
namespace {

std::uint64_t reflect(std::uint64_t value, int width) {
    std::uint64_t reflected = 0;
    for (int bit = 0; bit < width; ++bit) {
        reflected = (reflected << 1) | ((value >> bit) & 1);
    }
    return reflected;
}

}  // namespace

// Bit by bit, so that one loop serves every width and parameter set the user may write; the
// frames it runs over are short.
std::uint64_t crc(const CrcParameters& parameters, std::span<const std::uint8_t> bytes) {
    const int width = parameters.width;
    if (width < 1 || width > 64) {
        return 0;
    }
    const std::uint64_t mask = width == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
    const std::uint64_t top = std::uint64_t{1} << (width - 1);
    const std::uint64_t polynomial = parameters.polynomial & mask;
    std::uint64_t reg = parameters.initial & mask;
    for (const std::uint8_t byte : bytes) {
        const std::uint64_t in = parameters.reflectIn ? reflect(byte, 8) : byte;
        for (int bit = 7; bit >= 0; --bit) {
            const bool feedback = ((reg & top) != 0) != (((in >> bit) & 1) != 0);
            reg = (reg << 1) & mask;
            if (feedback) {
                reg ^= polynomial;
            }
        }
    }
    if (parameters.reflectOut) {
        reg = reflect(reg, width);
    }
    return (reg ^ parameters.xorOut) & mask;
}

std::uint64_t CrcTable::operator()(std::span<const std::uint8_t> bytes) const {
    std::uint64_t reg = start_;
    if (parameters_.reflectIn) {
        for (const std::uint8_t byte : bytes) {
            reg = (reg >> 8) ^ table_[(reg ^ byte) & 0xFFU];
        }
    } else {
        for (const std::uint8_t byte : bytes) {
            reg = (reg << 8) ^ table_[((reg >> 56) ^ byte) & 0xFFU];
        }
        reg >>= 64 - width_;
    }
    if (reflectResult_) {
        reg = reflect(reg, width_);
    }
    return (reg ^ parameters_.xorOut) & mask_;
}

}  // namespace orvalix
