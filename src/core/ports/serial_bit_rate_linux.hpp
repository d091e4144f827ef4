#pragma once

// Kept free of <termios.h>: the kernel's termios2 (in <asm/termbits.h>) cannot share a
// translation unit with it.

#include <cstdint>

namespace orvalix {

// Sets the line's bit rate to any value the driver accepts, leaving the other settings as
// they are. False when the device refuses termios2 or the rate.
bool setAnyBitRate(int fd, std::uint32_t bitRate);

}  // namespace orvalix
