#pragma once

// The Linux serial port's decisions that need no device, kept apart so they can be checked
// on their own.

#include <termios.h>

#include <cstdint>
#include <optional>

#include "core/ports/port_options.hpp"

namespace orvalix {

// The line as termios expresses it. controlFlags holds only the CSIZE, PARENB, PARODD,
// CSTOPB and CRTSCTS bits; the rest of c_cflag is the opener's.
struct TermiosLine {
    std::uint32_t bitRate = 0;
    tcflag_t controlFlags = 0;

    friend bool operator==(const TermiosLine&, const TermiosLine&) = default;
};

// Nothing when the bit rate is 0 or below: no device accepts that. One and a half stop
// bits do not exist on Linux; two are used instead.
std::optional<TermiosLine> termiosLine(const SerialOptions& line);

// The driver's running line-error counters (TIOCGICOUNT).
struct LineErrorCounts {
    int overrun = 0;
    int bufferOverrun = 0;
    int parity = 0;
    int framing = 0;
    int breaks = 0;
};

// The kReceive* flags of the counters that moved between two readings. The counters wrap,
// so any change counts.
std::uint32_t receiveErrorFlags(const LineErrorCounts& before, const LineErrorCounts& after);

// Whether a failed call's errno means the device went away (an adapter unplugged, the far end
// of a pty closed: the kernel hangs the line up), rather than a passing refusal.
bool serialDeviceGone(int error);

}  // namespace orvalix
