#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvalix {

// Largest frame that is read, stored, built or sent.
inline constexpr std::size_t kMaxFrameLength = 16384;

// A fixed frame buffer: no allocation grows with a frame.
struct ByteBuffer {
    std::uint32_t length = 0;
    std::array<std::uint8_t, kMaxFrameLength> data{};
};

}  // namespace orvalix
