#include "hdlc_virtual/completion.hpp"

#include <unistd.h>

#include <cstdint>

namespace orvalix::hdlc_virtual {

void signalCompletion(FbiHdlcOverlapped& overlapped, std::size_t length) {
    overlapped.internal = 0;
    overlapped.internalHigh = length;
    if (overlapped.event < 0) {
        return;
    }
    const std::uint64_t one = 1;
    // An eventfd counter: a write adds one and wakes the waiter.
    [[maybe_unused]] const auto written = ::write(static_cast<int>(overlapped.event), &one, sizeof one);
}

}  // namespace orvalix::hdlc_virtual
