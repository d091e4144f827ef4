#include "core/ports/serial_port.hpp"

#include "core/platform/win32/windows_headers.hpp"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "core/bytes/byte_buffer.hpp"

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

// Tells a waiter when received bytes may be queued: an overlapped WaitCommEvent for EV_RXCHAR
// on a manual-reset event, which stays signalled until a read has emptied the queue and the
// wait is made again. The driver completes a wait at once for a byte that came since its last
// completed one, so nothing that arrives between a read and the next wait is missed. Made by
// the first source() call: a port nobody asks reads exactly as it always did. A driver that
// cannot wait for bytes (Wine's for a pseudo-terminal cancels every such wait) leaves the
// line to be read at the tick.
class ReceiveWatch {
public:
    ReceiveWatch() = default;
    ReceiveWatch(const ReceiveWatch&) = delete;
    ReceiveWatch& operator=(const ReceiveWatch&) = delete;
    // The file must still be open: the wait is ended before its records go.
    ~ReceiveWatch() {
        if (issued_ && !HasOverlappedIoCompleted(&overlapped_)) {
            CancelIoEx(file_, &overlapped_);
            DWORD ignored = 0;
            GetOverlappedResult(file_, &overlapped_, &ignored, TRUE);
        }
    }

    // The event to wait on; nothing when the driver cannot wait for bytes.
    HANDLE source(HANDLE file) {
        if (!event_.valid() && !failed_) {
            file_ = file;
            // Signalled: the first wait looks whether bytes came before.
            event_ = OwnedHandle(CreateEventW(nullptr, TRUE, TRUE, nullptr));
            overlapped_.hEvent = event_.get();
            failed_ = !event_.valid() || !SetCommMask(file, EV_RXCHAR);
        }
        if (!failed_) {
            waiting();  // a wait that failed turns the watch off now
        }
        return failed_ ? nullptr : event_.get();
    }

    // After a read; `emptied` when it took every byte that was queued.
    void afterRead(bool emptied) {
        if (!event_.valid() || failed_ || !emptied || waiting() || failed_) {
            return;
        }
        mask_ = 0;
        // Pending, the wait resets the event; done at once, it has set it.
        issued_ = WaitCommEvent(file_, &mask_, &overlapped_) || GetLastError() == ERROR_IO_PENDING;
        if (!issued_) {
            fail();
        }
    }

    // The read's CancelIo ends the wait too, which is no failure of the driver.
    void cancelledWithRead() { cancelledByRead_ = issued_; }

private:
    // True while the driver holds the wait; collects a finished one.
    bool waiting() {
        if (!issued_) {
            return false;
        }
        if (!HasOverlappedIoCompleted(&overlapped_)) {
            return true;
        }
        DWORD ignored = 0;
        if (!GetOverlappedResult(file_, &overlapped_, &ignored, FALSE) && !cancelledByRead_) {
            fail();
        }
        issued_ = false;
        cancelledByRead_ = false;
        return false;
    }

    void fail() {
        failed_ = true;
        ResetEvent(event_.get());  // a waiter still holding it reads the line at the tick
    }

    HANDLE file_ = nullptr;
    OwnedHandle event_;
    OVERLAPPED overlapped_{};
    DWORD mask_ = 0;
    bool issued_ = false;  // the driver holds a wait, or has completed one not yet collected
    bool cancelledByRead_ = false;
    bool failed_ = false;
};

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
    ReceiveWatch receiveWatch;  // after the file: it ends its wait while the file is open
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
        port.receiveWatch.afterRead(true);
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
        port.receiveWatch.cancelledWithRead();
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
    port.receiveWatch.afterRead(got == comStat.cbInQue);
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

// The first call starts watching for received bytes (see ReceiveWatch).
platform::WaitSource SerialPort::waitSource() const {
    if (!native_) {
        return {};
    }
    const HANDLE event = native_->receiveWatch.source(native_->file.get());
    if (event == nullptr) {
        return {};
    }
    return {platform::WaitSource::Kind::Event, reinterpret_cast<std::intptr_t>(event)};
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
