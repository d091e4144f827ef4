#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "core/ports/port.hpp"

namespace orvalix {

// The completion record and event a send hands to the board library; kept on the heap
// so that moving the port never moves what the library may still signal.
struct HdlcWriteRecord;

// An open board channel; closed through the library when destroyed.
class HdlcPort {
public:
    HdlcPort(std::shared_ptr<HdlcLibrary> library, std::int32_t handle);
    HdlcPort(HdlcPort&& other) noexcept;
    HdlcPort& operator=(HdlcPort&& other) noexcept;
    HdlcPort(const HdlcPort&) = delete;
    HdlcPort& operator=(const HdlcPort&) = delete;
    ~HdlcPort();

    PortKind kind() const { return PortKind::HdlcBoard; }
    // At most one frame; the buffer must hold kMaxFrameLength bytes, because the library
    // is not told its size (a smaller buffer reads nothing and the frame stays queued).
    std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t& status, SocketAddress& sender);
    void write(std::span<const std::uint8_t> data, const SocketAddress& destination);
    bool writeFinished();
    // The board library tells nothing of a board that went away.
    PortHealth health() const { return {}; }
    // The board library signals sends only: a channel is read at the tick.
    platform::WaitSource waitSource() const { return {}; }

private:
    void close();

    std::shared_ptr<HdlcLibrary> library_;
    std::int32_t handle_ = -1;
    std::unique_ptr<HdlcWriteRecord> writeRecord_;
};

}  // namespace orvalix
