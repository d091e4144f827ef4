#include "core/ports/serial_linux.hpp"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <utility>

#include "core/bytes/byte_buffer.hpp"
#include "core/ports/serial_bit_rate_linux.hpp"
#include "core/ports/serial_port.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix {
namespace {

struct StandardSpeed {
    std::uint32_t bitRate;
    speed_t code;
};

// For drivers without termios2 only.
constexpr std::array kStandardSpeeds{
    StandardSpeed{50, B50},           StandardSpeed{75, B75},           StandardSpeed{110, B110},
    StandardSpeed{134, B134},         StandardSpeed{150, B150},         StandardSpeed{200, B200},
    StandardSpeed{300, B300},         StandardSpeed{600, B600},         StandardSpeed{1200, B1200},
    StandardSpeed{1800, B1800},       StandardSpeed{2400, B2400},       StandardSpeed{4800, B4800},
    StandardSpeed{9600, B9600},       StandardSpeed{19200, B19200},     StandardSpeed{38400, B38400},
    StandardSpeed{57600, B57600},     StandardSpeed{115200, B115200},   StandardSpeed{230400, B230400},
    StandardSpeed{460800, B460800},   StandardSpeed{500000, B500000},   StandardSpeed{576000, B576000},
    StandardSpeed{921600, B921600},   StandardSpeed{1000000, B1000000}, StandardSpeed{1152000, B1152000},
    StandardSpeed{1500000, B1500000}, StandardSpeed{2000000, B2000000}, StandardSpeed{2500000, B2500000},
    StandardSpeed{3000000, B3000000}, StandardSpeed{3500000, B3500000}, StandardSpeed{4000000, B4000000},
};

std::optional<speed_t> standardSpeed(std::uint32_t bitRate) {
    const auto found =
        std::find_if(kStandardSpeeds.begin(), kStandardSpeeds.end(),
                     [bitRate](const StandardSpeed& speed) { return speed.bitRate == bitRate; });
    if (found == kStandardSpeeds.end()) {
        return std::nullopt;
    }
    return found->code;
}

bool configureLine(int fd, const TermiosLine& line) {
    termios attributes{};
    if (::tcgetattr(fd, &attributes) != 0) {
        return false;
    }
    ::cfmakeraw(&attributes);
    attributes.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    attributes.c_cflag |= CLOCAL | CREAD | line.controlFlags;
    attributes.c_cc[VMIN] = 0;
    attributes.c_cc[VTIME] = 0;
    const std::optional<speed_t> speed = standardSpeed(line.bitRate);
    if (speed) {
        ::cfsetispeed(&attributes, *speed);
        ::cfsetospeed(&attributes, *speed);
    }
    if (::tcsetattr(fd, TCSANOW, &attributes) != 0) {
        return false;
    }
    return setAnyBitRate(fd, line.bitRate) || speed.has_value();
}

// As the Windows port's DTR_CONTROL_ENABLE and RTS_CONTROL_ENABLE. Lines without modem
// signals (ptys, some adapters) refuse the request, which is no reason to refuse the port.
bool raiseModemLines(int fd) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    return ::ioctl(fd, TIOCMBIS, &lines) == 0 || errno == ENOTTY || errno == EINVAL;
}

std::optional<LineErrorCounts> readErrorCounts(int fd) {
    serial_icounter_struct counts{};
    if (::ioctl(fd, TIOCGICOUNT, &counts) != 0) {
        return std::nullopt;
    }
    return LineErrorCounts{counts.overrun, counts.buf_overrun, counts.parity, counts.frame, counts.brk};
}

}  // namespace

std::optional<TermiosLine> termiosLine(const SerialOptions& line) {
    if (line.bitRate <= 0) {
        return std::nullopt;
    }
    tcflag_t flags = line.dataBits == SerialDataBits::Seven ? CS7 : CS8;
    switch (line.parity) {
        case SerialParity::None:
            break;
        case SerialParity::Odd:
            flags |= PARENB | PARODD;
            break;
        case SerialParity::Even:
            flags |= PARENB;
            break;
    }
    if (line.stopBits != SerialStopBits::One) {
        flags |= CSTOPB;
    }
    if (line.flowControl == SerialFlowControl::RtsCts) {
        flags |= CRTSCTS;
    }
    return TermiosLine{static_cast<std::uint32_t>(line.bitRate), flags};
}

std::uint32_t receiveErrorFlags(const LineErrorCounts& before, const LineErrorCounts& after) {
    std::uint32_t flags = 0;
    if (after.overrun != before.overrun || after.bufferOverrun != before.bufferOverrun) {
        flags |= kReceiveOverrun;
    }
    if (after.parity != before.parity) {
        flags |= kReceiveParity;
    }
    if (after.framing != before.framing) {
        flags |= kReceiveFraming;
    }
    if (after.breaks != before.breaks) {
        flags |= kReceiveBreak;
    }
    return flags;
}

bool serialDeviceGone(int error) {
    // A hung-up line answers EIO to everything; ENXIO and ENODEV come from a device node whose
    // driver has let go of it.
    return error == EIO || error == ENXIO || error == ENODEV;
}

// One frame at most is on its way: the bytes the kernel has not yet taken wait in
// sendBuffer, and the completion is signalled once all were taken and the output queue is
// empty. completionSignalled behaves as an auto-reset event that starts signalled.
struct SerialPort::Native {
    Native() = default;
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() {
        if (fd < 0) {
            return;
        }
        // Closing would otherwise wait for a frame held up by flow control; a Windows
        // handle cancels its pending writes when closed, too.
        ::tcflush(fd, TCOFLUSH);
        ::close(fd);
    }

    // Tries to hand the rest of the frame to the kernel.
    void pushFrame() {
        while (sendOffset < sendEnd) {
            const ssize_t written = ::write(fd, sendBuffer.data() + sendOffset, sendEnd - sendOffset);
            if (written > 0) {
                sendOffset += static_cast<std::size_t>(written);
                continue;
            }
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written == 0 || errno == EAGAIN) {
                return;
            }
            // The device has gone or refuses the bytes: the frame is dropped and counts as
            // sent, so the port is not left waiting for a completion that cannot come.
            if (serialDeviceGone(errno)) {
                goneError = errno;
            }
            sendOffset = sendEnd;
        }
    }

    bool outputDrained() const {
        int queued = 0;
        return ::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued == 0;
    }

    // The driver's error counters moved since the last reading; none where it keeps none.
    std::uint32_t takeErrorFlags() {
        const std::optional<LineErrorCounts> now = readErrorCounts(fd);
        if (!now) {
            return 0;
        }
        const std::uint32_t flags = counts ? receiveErrorFlags(*counts, *now) : 0;
        counts = now;
        return flags;
    }

    int fd = -1;
    int goneError = 0;  // what a write learned: the device went away
    std::optional<LineErrorCounts> counts;
    bool completionSignalled = true;
    bool frameInFlight = false;
    std::size_t sendOffset = 0;
    std::size_t sendEnd = 0;
    std::array<std::uint8_t, kMaxFrameLength> sendBuffer{};
};

SerialPort::SerialPort(std::unique_ptr<Native> native) : native_(std::move(native)) {}
SerialPort::SerialPort(SerialPort&& other) noexcept = default;
SerialPort& SerialPort::operator=(SerialPort&& other) noexcept = default;
SerialPort::~SerialPort() = default;

void SerialPort::lose(std::uint32_t error) {
    lostError_ = error;
    native_.reset();
}

std::size_t SerialPort::read(std::span<std::uint8_t> buffer, std::uint32_t& status, SocketAddress&) {
    if (!native_) {
        return 0;
    }
    if (native_->goneError != 0) {
        lose(static_cast<std::uint32_t>(native_->goneError));
        return 0;
    }
    status = native_->takeErrorFlags();
    int queued = 0;
    if (::ioctl(native_->fd, FIONREAD, &queued) != 0) {
        // Nothing queued reads as 0, not as a failure: only a line that is gone fails here.
        if (serialDeviceGone(errno)) {
            lose(static_cast<std::uint32_t>(errno));
        }
        return 0;
    }
    if (queued <= 0) {
        return 0;
    }
    const std::size_t want = std::min({static_cast<std::size_t>(queued), buffer.size(), kMaxFrameLength});
    ssize_t got = 0;
    do {
        got = ::read(native_->fd, buffer.data(), want);
    } while (got < 0 && errno == EINTR);
    if (got < 0 && serialDeviceGone(errno)) {
        lose(static_cast<std::uint32_t>(errno));
        return 0;
    }
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

void SerialPort::write(std::span<const std::uint8_t> data, const SocketAddress&) {
    if (!native_) {
        return;
    }
    Native& port = *native_;
    // The caller waits for writeFinished first; a frame handed over while the previous one
    // still occupies the buffer is dropped.
    if (port.sendOffset < port.sendEnd) {
        return;
    }
    const std::size_t length = std::min(data.size(), kMaxFrameLength);
    std::copy_n(data.begin(), length, port.sendBuffer.begin());
    port.sendOffset = 0;
    port.sendEnd = length;
    port.frameInFlight = true;
    port.completionSignalled = false;
    port.pushFrame();
}

platform::WaitSource SerialPort::waitSource() const {
    if (!native_) {
        return {};
    }
    return {platform::WaitSource::Kind::Descriptor, native_->fd};
}

bool SerialPort::writeFinished() {
    if (!native_) {
        return false;
    }
    Native& port = *native_;
    if (port.frameInFlight) {
        port.pushFrame();
        if (port.sendOffset == port.sendEnd && port.outputDrained()) {
            port.frameInFlight = false;
            port.completionSignalled = true;
        }
    }
    return std::exchange(port.completionSignalled, false);
}

Opening<SerialPort> openSerialPort(const SerialOptions& line) {
    const auto failed = [](int error) { return Opening<SerialPort>{std::nullopt, static_cast<std::uint32_t>(error)}; };
    auto native = std::make_unique<SerialPort::Native>();
    const std::string path = toNarrow(line.device);
    native->fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (native->fd < 0) {
        return failed(errno);
    }
    // No sharing: TIOCEXCL keeps later opens out (except for root), the lock keeps out
    // everyone who locks, root included. A lock held elsewhere reads as the device being busy.
    if (::ioctl(native->fd, TIOCEXCL) != 0) {
        return failed(errno);
    }
    if (::flock(native->fd, LOCK_EX | LOCK_NB) != 0) {
        return failed(errno == EWOULDBLOCK ? EBUSY : errno);
    }
    const std::optional<TermiosLine> termios = termiosLine(line);
    if (!termios) {
        return failed(EINVAL);  // a bit rate the system cannot set
    }
    if (!configureLine(native->fd, *termios) || !raiseModemLines(native->fd)) {
        return failed(errno);
    }
    native->counts = readErrorCounts(native->fd);
    return {SerialPort(std::move(native)), 0};
}

}  // namespace orvalix
