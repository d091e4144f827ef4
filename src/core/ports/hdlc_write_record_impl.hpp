#pragma once

// Internal to the ports library: the board library's record types reach no other header.

#include "core/platform/event.hpp"
#include "hdlc_abi/fbi_hdlc_abi.h"

namespace orvalix {

// The completion record and event a send hands to the board library.
struct HdlcWriteRecord {
    // Signalled while no send is in progress; the library sets it when a frame has gone.
    platform::Event event{platform::Event::Reset::Automatic, true};
    FbiHdlcOverlapped overlapped{};
};

}  // namespace orvalix
