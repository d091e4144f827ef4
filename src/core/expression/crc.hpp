#pragma once

#include <array>
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

    friend constexpr bool operator==(const CrcParameters&, const CrcParameters&) = default;
};

// The CRC of the bytes; 0 for a width outside 1 to 64.
std::uint64_t crc(const CrcParameters& parameters, std::span<const std::uint8_t> bytes);

// The same CRC a byte at a time from a table made once, for parameters known before the
// bytes are: every preset, and a generic call whose parameters are all constants.
class CrcTable {
public:
    constexpr explicit CrcTable(const CrcParameters& parameters);

    std::uint64_t operator()(std::span<const std::uint8_t> bytes) const;
    constexpr const CrcParameters& parameters() const { return parameters_; }

    friend bool operator==(const CrcTable& a, const CrcTable& b) { return a.parameters_ == b.parameters_; }

private:
    static constexpr std::uint64_t maskOf(int width) {
        return width >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
    }
    static constexpr std::uint64_t reflect(std::uint64_t value, int width) {
        std::uint64_t reflected = 0;
        for (int bit = 0; bit < width; ++bit) {
            reflected = (reflected << 1) | ((value >> bit) & 1);
        }
        return reflected;
    }

    CrcParameters parameters_;
    int width_;  // parameters_.width, held within 1 to 64
    std::uint64_t mask_;
    // The register before the first byte, and whether its bits run against the result's: both
    // fixed by the parameters, so a call spends nothing on them (a reflection is a loop).
    std::uint64_t start_;
    bool reflectResult_;
    std::array<std::uint64_t, 256> table_{};
};

// A reflected register runs in the low bits against the reflected polynomial; an unreflected
// one runs left-aligned in all 64 bits, so that widths below 8 need no case of their own.
constexpr CrcTable::CrcTable(const CrcParameters& parameters)
    : parameters_(parameters),
      width_(parameters.width < 1 ? 1 : parameters.width > 64 ? 64 : parameters.width),
      mask_(maskOf(width_)),
      start_(parameters.reflectIn ? reflect(parameters.initial & mask_, width_)
                                  : (parameters.initial & mask_) << (64 - width_)),
      reflectResult_(parameters.reflectIn != parameters.reflectOut) {
    const std::uint64_t polynomial = parameters.polynomial & mask_;
    if (parameters.reflectIn) {
        const std::uint64_t reflected = reflect(polynomial, width_);
        for (std::uint64_t i = 0; i < 256; ++i) {
            std::uint64_t r = i;
            for (int bit = 0; bit < 8; ++bit) {
                r = (r & 1) != 0 ? (r >> 1) ^ reflected : r >> 1;
            }
            table_[i] = r;
        }
    } else {
        const std::uint64_t aligned = polynomial << (64 - width_);
        for (std::uint64_t i = 0; i < 256; ++i) {
            std::uint64_t r = i << 56;
            for (int bit = 0; bit < 8; ++bit) {
                r = (r >> 63) != 0 ? (r << 1) ^ aligned : r << 1;
            }
            table_[i] = r;
        }
    }
}

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
