#pragma once

#include <cstdint>

namespace orvalix::platform {

// What a port offers to be waited on: the thing the system makes ready when a read would find
// something. On POSIX every kind is a descriptor; Windows tells a socket (which needs an
// event selected on it) from a handle that is itself waitable.
struct WaitSource {
    enum class Kind { None, Descriptor, Socket, Event };
    Kind kind = Kind::None;
    std::intptr_t handle = -1;
    // Changes whenever the object behind the handle is replaced (a new connection, say), since
    // the system may hand the same number out again.
    std::uint32_t instance = 0;

    friend bool operator==(const WaitSource&, const WaitSource&) = default;
};

}  // namespace orvalix::platform
