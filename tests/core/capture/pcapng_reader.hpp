#pragma once

// Walks pcapng bytes as a reader would, so that the tests state blocks by their parts rather
// than by byte offsets. Every length and padding rule is checked on the way.

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace orvalix::test {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t le32(std::span<const std::uint8_t> at) {
    return static_cast<std::uint32_t>(at[0] | at[1] << 8 | at[2] << 16) | static_cast<std::uint32_t>(at[3]) << 24;
}

struct Option {
    std::uint16_t code = 0;
    Bytes value;
    friend bool operator==(const Option&, const Option&) = default;
};

struct Block {
    std::uint32_t type = 0;
    Bytes body;  // the fixed part (and an EPB's padded packet)
    std::vector<Option> options;
};

inline Option textOption(std::uint16_t code, std::string_view text) { return {code, Bytes(text.begin(), text.end())}; }

// The blocks of a file's bytes; fails the test at the first broken rule.
inline std::vector<Block> readBlocks(std::span<const std::uint8_t> bytes) {
    std::vector<Block> blocks;
    std::size_t at = 0;
    while (at < bytes.size()) {
        EXPECT_LE(at + 12, bytes.size());
        if (at + 12 > bytes.size()) break;
        Block block{le32(bytes.subspan(at)), {}, {}};
        const std::uint32_t total = le32(bytes.subspan(at + 4));
        EXPECT_EQ(total % 4, 0u) << "block " << blocks.size();
        EXPECT_LE(at + total, bytes.size());
        if (total < 12 || at + total > bytes.size()) break;
        EXPECT_EQ(le32(bytes.subspan(at + total - 4)), total) << "trailing length of block " << blocks.size();
        const auto body = bytes.subspan(at + 8, total - 12);
        std::size_t fixed = 0;
        switch (block.type) {
            case 0x0A0D0D0A: fixed = 16; break;
            case 1: fixed = 8; break;
            case 5: fixed = 12; break;
            case 6: fixed = 20 + (le32(body.subspan(12)) + 3) / 4 * 4; break;
            default: ADD_FAILURE() << "unknown block type " << block.type;
        }
        block.body.assign(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(fixed));
        std::size_t option = fixed;
        while (option + 4 <= body.size()) {
            const auto code = static_cast<std::uint16_t>(body[option] | body[option + 1] << 8);
            const auto length = static_cast<std::size_t>(body[option + 2] | body[option + 3] << 8);
            if (code == 0) {
                EXPECT_EQ(length, 0u);
                EXPECT_EQ(option + 4, body.size()) << "end of options is last";
                break;
            }
            EXPECT_LE(option + 4 + length, body.size());
            const auto value = body.subspan(option + 4, length);
            block.options.push_back({code, Bytes(value.begin(), value.end())});
            option += 4 + (length + 3) / 4 * 4;
        }
        blocks.push_back(std::move(block));
        at += total;
    }
    return blocks;
}

}  // namespace orvalix::test
