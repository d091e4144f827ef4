#include "hdlc_virtual/completion.hpp"

namespace orvalix::hdlc_virtual {

void signalCompletion(FbiHdlcOverlapped& overlapped, std::size_t length) {
    overlapped.Internal = 0;  // STATUS_SUCCESS
    overlapped.InternalHigh = length;
    if (overlapped.hEvent != nullptr) {
        SetEvent(overlapped.hEvent);
    }
}

}  // namespace orvalix::hdlc_virtual
