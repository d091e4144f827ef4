#include "core/expression/crc.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace orvalix {
namespace {

constexpr std::string_view kCheckInput = "123456789";

std::span<const std::uint8_t> checkBytes() {
    return {reinterpret_cast<const std::uint8_t*>(kCheckInput.data()), kCheckInput.size()};
}

// Each catalogue entry's check value: its CRC of the nine ASCII digits, bit by bit and from
// its table.
TEST(Crc, EveryEntryGivesItsCatalogueCheckValue) {
    const struct {
        const char* name;
        CrcParameters parameters;
        std::uint64_t check;
    } cases[] = {
        {"CRC-8/SMBUS", kCrc8Smbus, 0xF4},
        {"CRC-16/ARC", kCrc16Arc, 0xBB3D},
        {"CRC-16/MODBUS", kCrc16Modbus, 0x4B37},
        {"CRC-16/XMODEM", kCrc16Xmodem, 0x31C3},
        {"CRC-16/IBM-3740", kCrc16Ibm3740, 0x29B1},
        {"CRC-16/KERMIT", kCrc16Kermit, 0x2189},
        {"CRC-16/DNP", kCrc16Dnp, 0xEA82},
        {"CRC-32/ISO-HDLC", kCrc32IsoHdlc, 0xCBF43926},
        {"CRC-32/ISCSI", kCrc32Iscsi, 0xE3069283},
        // The generic model beyond the presets: widths that are not whole bytes, input reflected
        // and output not, and the full 64 bits.
        {"CRC-3/GSM", {3, 0x3, 0x0, false, false, 0x7}, 0x4},
        {"CRC-5/USB", {5, 0x05, 0x1F, true, true, 0x1F}, 0x19},
        {"CRC-7/MMC", {7, 0x09, 0x00, false, false, 0x00}, 0x75},
        {"CRC-12/UMTS", {12, 0x80F, 0x000, false, true, 0x000}, 0xDAF},
        {"CRC-24/OPENPGP", {24, 0x864CFB, 0xB704CE, false, false, 0x000000}, 0x21CF02},
        {"CRC-64/ECMA-182", {64, 0x42F0E1EBA9EA3693, 0, false, false, 0}, 0x6C40DF5F0B497347},
        {"CRC-64/XZ", {64, 0x42F0E1EBA9EA3693, ~0ull, true, true, ~0ull}, 0x995DC9BBDF1939FA},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(crc(c.parameters, checkBytes()), c.check) << c.name;
        EXPECT_EQ(CrcTable(c.parameters)(checkBytes()), c.check) << c.name << " from its table";
    }
}

TEST(Crc, ValuesWiderThanTheWidthAreCutAndAWidthOutsideTheModelGivesZero) {
    const CrcParameters widened{8, 0xF07, 0xF00, false, false, 0xF00};
    EXPECT_EQ(crc(widened, checkBytes()), 0xF4u) << "only the low 8 bits of each value count";
    EXPECT_EQ(crc({0, 1, 0, false, false, 0}, checkBytes()), 0u);
    EXPECT_EQ(crc({65, 1, 0, false, false, 0}, checkBytes()), 0u);
    EXPECT_EQ(crc(kCrc16Modbus, {}), 0xFFFFu) << "no bytes: the initial value, reflected and xored";
}

}  // namespace
}  // namespace orvalix
