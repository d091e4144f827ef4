#include "core/ports/serial_bit_rate_linux.hpp"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace orvalix {

bool setAnyBitRate(int fd, std::uint32_t bitRate) {
    termios2 line{};
    if (::ioctl(fd, TCGETS2, &line) != 0) {
        return false;
    }
    // BOTHER for both directions: the rates then come from c_ispeed and c_ospeed.
    line.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= static_cast<tcflag_t>(BOTHER | (BOTHER << IBSHIFT));
    line.c_ispeed = bitRate;
    line.c_ospeed = bitRate;
    return ::ioctl(fd, TCSETS2, &line) == 0;
}

}  // namespace orvalix
