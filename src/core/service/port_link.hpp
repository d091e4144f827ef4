#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

#include "core/ports/port.hpp"

namespace orvalix {

// What the cycle needs of a port, as a non-owning reference to any type with OpenPort's
// kind/read/write/writeFinished/health/waitSource. The cycle runs over real ports in a run and over
// stand-ins in tests; a call costs one indirect call and nothing is allocated. The kind is
// asked once: a port does not change it.
class PortLink {
public:
    template <class Port>
        requires(!std::is_same_v<std::remove_cv_t<Port>, PortLink>)  // copies stay copies
    explicit PortLink(Port& port) noexcept
        : port_(&port),
          kind_(port.kind()),
          read_([](void* self, std::span<std::uint8_t> buffer, std::uint32_t& status, SocketAddress& sender) {
              return static_cast<Port*>(self)->read(buffer, status, sender);
          }),
          write_([](void* self, std::span<const std::uint8_t> data, const SocketAddress& destination) {
              static_cast<Port*>(self)->write(data, destination);
          }),
          writeFinished_([](void* self) { return static_cast<Port*>(self)->writeFinished(); }),
          health_([](const void* self) { return static_cast<const Port*>(self)->health(); }),
          waitSource_([](const void* self) { return static_cast<const Port*>(self)->waitSource(); }) {}

    PortKind kind() const { return kind_; }
    std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t& status, SocketAddress& sender) const {
        return read_(port_, buffer, status, sender);
    }
    void write(std::span<const std::uint8_t> data, const SocketAddress& destination) const {
        write_(port_, data, destination);
    }
    bool writeFinished() const { return writeFinished_(port_); }
    PortHealth health() const { return health_(port_); }
    platform::WaitSource waitSource() const { return waitSource_(port_); }

private:
    void* port_;
    PortKind kind_;
    std::size_t (*read_)(void*, std::span<std::uint8_t>, std::uint32_t&, SocketAddress&);
    void (*write_)(void*, std::span<const std::uint8_t>, const SocketAddress&);
    bool (*writeFinished_)(void*);
    PortHealth (*health_)(const void*);
    platform::WaitSource (*waitSource_)(const void*);
};

}  // namespace orvalix
