#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "core/ports/opening.hpp"
#include "core/ports/port.hpp"

namespace orvalix {

// An open serial line; the platform file defines Native (descriptor or handle, overlapped
// records, line-error counters) and closes it when the port goes.
class SerialPort {
public:
    struct Native;
    explicit SerialPort(std::unique_ptr<Native> native);
    SerialPort(SerialPort&& other) noexcept;
    SerialPort& operator=(SerialPort&& other) noexcept;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    ~SerialPort();

    PortKind kind() const { return PortKind::Serial; }
    // The bytes already queued, at most buffer.size(); line errors as kReceive* flags in
    // status. sender is left alone.
    std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t& status, SocketAddress& sender);
    // Starts sending; the destination is not used.
    void write(std::span<const std::uint8_t> data, const SocketAddress& destination);
    // True when no write is in progress; a true answer consumes the completion.
    bool writeFinished();
    // lostError is set once a call found the device gone; the handle is closed at that moment.
    PortHealth health() const { return {lostError_, 0}; }
    // Nothing once the device went away. On Windows the first call starts a wait for received
    // bytes, and gives nothing where the driver cannot wait for them (the line is then read at
    // the tick); a port never asked reads as it always did.
    platform::WaitSource waitSource() const;

private:
    // Closes the handle for good: nothing reads or writes a device that went away.
    void lose(std::uint32_t error);

    std::unique_ptr<Native> native_;
    std::uint32_t lostError_ = 0;
};

// Opens the line's device with its settings; no port, and the system's reason, when the device
// is missing, in use, or refuses the settings (a bit rate of 0 or below included).
Opening<SerialPort> openSerialPort(const SerialOptions& line);

}  // namespace orvalix
