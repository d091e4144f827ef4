#pragma once

#include <cstddef>

#include "hdlc_abi/fbi_hdlc_abi.h"

namespace orvalix::hdlc_virtual {

// Marks the send as done and signals the record's event, as the caller's driver would.
void signalCompletion(FbiHdlcOverlapped& overlapped, std::size_t length);

}  // namespace orvalix::hdlc_virtual
