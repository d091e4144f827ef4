#pragma once

#include <array>
#include <cstdint>

#include "core/ports/port_options.hpp"

namespace orvalix {

// The 29 words of the record HdlcOpen takes, filled from the board options.
using HdlcSettingsWords = std::array<std::uint32_t, 29>;

HdlcSettingsWords makeHdlcSettings(const HdlcOptions& board);

// 3 when the bit rate divides 32 MHz with a smaller remainder than 36.864 MHz, else 5.
std::uint32_t hdlcClockCode(std::int32_t bitRate);

}  // namespace orvalix
