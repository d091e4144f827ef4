#include "core/ports/serial_port.hpp"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "core/expression/byte_buffer.hpp"

namespace orvalix {
namespace {

class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { close(); }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    void close() {
        if (valid()) {
            CloseHandle(handle_);
        }
        handle_ = nullptr;
    }

    HANDLE handle_ = nullptr;
};

std::wstring wideText(std::u16string_view text) {
    std::wstring wide;
    for (const char16_t unit : text) {
        wide.push_back(static_cast<wchar_t>(unit));
    }
    return wide;
}

BYTE windowsParity(SerialParity parity) {
    switch (parity) {
        case SerialParity::None:
            return NOPARITY;
        case SerialParity::Odd:
            return ODDPARITY;
        case SerialParity::Even:
            break;
    }
    return EVENPARITY;
}

BYTE windowsStopBits(SerialStopBits stopBits) {
    switch (stopBits) {
        case SerialStopBits::One:
            return ONESTOPBIT;
        case SerialStopBits::OneAndHalf:
            return ONE5STOPBITS;
        case SerialStopBits::Two:
            break;
    }
    return TWOSTOPBITS;
}

// Fields not named here stay as the driver reported them.
bool applyCommState(HANDLE file, const SerialOptions& line) {
    DCB state{};
    state.DCBlength = sizeof state;
    if (!GetCommState(file, &state)) {
        return false;
    }
    const SerialParity parity = line.parity;
    const bool rtsCts = line.flowControl == SerialFlowControl::RtsCts;
    state.BaudRate = static_cast<DWORD>(line.bitRate);
    state.fBinary = 1;
    state.fParity = parity == SerialParity::None ? 0 : 1;
    state.fOutxCtsFlow = rtsCts ? 1 : 0;
    state.fOutxDsrFlow = 0;
    state.fDtrControl = DTR_CONTROL_ENABLE;
    state.fDsrSensitivity = 0;
    state.fTXContinueOnXoff = 1;
    state.fOutX = 0;
    state.fInX = 0;
    state.fErrorChar = 0;
    state.fNull = 0;
    state.fRtsControl = rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    state.fAbortOnError = 0;
    state.ByteSize = line.dataBits == SerialDataBits::Seven ? 7 : 8;
    state.Parity = windowsParity(parity);
    state.StopBits = windowsStopBits(line.stopBits);
    return SetCommState(file, &state) != 0;
}

// A write gives up after 100 ms plus 1 ms per byte.
bool applyTimeouts(HANDLE file) {
    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(file, &timeouts)) {
        return false;
    }
    timeouts.ReadIntervalTimeout = 60;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.ReadTotalTimeoutConstant = 100;
    timeouts.WriteTotalTimeoutMultiplier = 1;
    timeouts.WriteTotalTimeoutConstant = 100;
    return SetCommTimeouts(file, &timeouts) != 0;
}

// The answers of a port whose device went away (a USB adapter unplugged, a driver that let go
// of it); a refusal that passes, or the ERROR_OPERATION_ABORTED of our own CancelIo after a
// short read, is none of these where it is asked.
bool deviceGone(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_ACCESS_DENIED:
        case ERROR_INVALID_HANDLE:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_OPERATION_ABORTED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
            return true;
        default:
            return false;
    }
}

// Auto-reset and signalled from the start: the first write finds the port free.
OwnedHandle signalledAutoResetEvent() { return OwnedHandle(CreateEventW(nullptr, FALSE, TRUE, nullptr)); }

}  // namespace

// The overlapped records must stay where they are while the system uses them; the port
// keeps this block behind a pointer so that moving the port does not move them.
struct SerialPort::Native {
    Native() = default;
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() {
        // The system may still be sending from writeBuffer: end that before it goes.
        if (writeIssued && !HasOverlappedIoCompleted(&writeOverlapped)) {
            CancelIoEx(file.get(), &writeOverlapped);
            DWORD ignored = 0;
            GetOverlappedResult(file.get(), &writeOverlapped, &ignored, TRUE);
        }
    }

    OwnedHandle file;
    OwnedHandle readEvent;
    OwnedHandle writeEvent;
    OVERLAPPED readOverlapped{};
    OVERLAPPED writeOverlapped{};
    // The last WriteFile reached the system, which will complete it.
    bool writeIssued = false;
    std::array<std::uint8_t, kMaxFrameLength> writeBuffer{};
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
    Native& port = *native_;
    const HANDLE file = port.file.get();
    DWORD errors = 0;
    COMSTAT comStat{};
    if (!ClearCommError(file, &errors, &comStat)) {
        if (const DWORD error = GetLastError(); deviceGone(error)) {
            lose(error);
        }
        return 0;
    }
    status = errors;
    const auto want = static_cast<DWORD>(
        std::min({static_cast<std::size_t>(comStat.cbInQue), buffer.size(), kMaxFrameLength}));
    if (want == 0) {
        return 0;
    }
    OVERLAPPED& overlapped = port.readOverlapped;
    overlapped.Offset = 0;
    overlapped.OffsetHigh = 0;
    DWORD got = 0;
    bool pending = false;
    if (ReadFile(file, buffer.data(), want, nullptr, &overlapped)) {
        if (!GetOverlappedResult(file, &overlapped, &got, FALSE)) {
            got = 0;
        }
    } else if (const DWORD error = GetLastError(); error == ERROR_IO_PENDING) {
        if (!GetOverlappedResult(file, &overlapped, &got, FALSE)) {
            got = 0;
            pending = GetLastError() == ERROR_IO_INCOMPLETE;
        }
    } else if (deviceGone(error)) {
        lose(error);
        return 0;
    }
    if (got != want) {
        CancelIo(file);
        // Once cancelled the read ends at once; waiting for that keeps the system from
        // filling the caller's buffer later, and a read that finished meanwhile keeps its bytes.
        if (pending) {
            DWORD late = 0;
            if (GetOverlappedResult(file, &overlapped, &late, TRUE)) {
                got = late;
            }
        }
        ResetEvent(overlapped.hEvent);
    }
    return got;
}

void SerialPort::write(std::span<const std::uint8_t> data, const SocketAddress&) {
    if (!native_) {
        return;
    }
    Native& port = *native_;
    // The caller waits for writeFinished first; a frame handed over while the system still
    // sends from the buffer is dropped.
    if (port.writeIssued && !HasOverlappedIoCompleted(&port.writeOverlapped)) {
        return;
    }
    const std::size_t length = std::min(data.size(), kMaxFrameLength);
    std::copy_n(data.begin(), length, port.writeBuffer.begin());
    port.writeOverlapped.Offset = 0;
    port.writeOverlapped.OffsetHigh = 0;
    // Completion, failed or not, signals the write event; the result is only kept to know
    // whether the system still holds the buffer.
    port.writeIssued = WriteFile(port.file.get(), port.writeBuffer.data(), static_cast<DWORD>(length),
                                 nullptr, &port.writeOverlapped) ||
                       GetLastError() == ERROR_IO_PENDING;
}

platform::WaitSource SerialPort::waitSource() const {
    return {};  // read at the tick
}

bool SerialPort::writeFinished() {
    if (!native_) {
        return false;
    }
    return WaitForSingleObject(native_->writeEvent.get(), 0) == WAIT_OBJECT_0;
}

Opening<SerialPort> openSerialPort(const SerialOptions& line) {
    const auto failed = [] { return Opening<SerialPort>{std::nullopt, static_cast<std::uint32_t>(GetLastError())}; };
    auto native = std::make_unique<SerialPort::Native>();
    native->file = OwnedHandle(CreateFileW(wideText(line.device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!native->file.valid()) {
        return failed();
    }
    if (!applyCommState(native->file.get(), line) || !applyTimeouts(native->file.get())) {
        return failed();
    }
    native->readEvent = signalledAutoResetEvent();
    native->writeEvent = signalledAutoResetEvent();
    if (!native->readEvent.valid() || !native->writeEvent.valid()) {
        return failed();
    }
    native->readOverlapped.hEvent = native->readEvent.get();
    native->writeOverlapped.hEvent = native->writeEvent.get();
    return {SerialPort(std::move(native)), 0};
}

}  // namespace orvalix
