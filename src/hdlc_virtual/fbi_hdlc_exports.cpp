// The five functions of the board library over the in-process board table.

#include <cstdint>
#include <span>
#include <type_traits>

#include "hdlc_virtual/board_table.hpp"
#include "hdlc_virtual/completion.hpp"
#include "hdlc_abi/fbi_hdlc_abi.h"

#ifdef _WIN32
#define FBIHDLC_EXPORT __declspec(dllexport)
#else
#define FBIHDLC_EXPORT __attribute__((visibility("default")))
#endif

namespace {

// The library's state: every board of the process.
orvalix::hdlc_virtual::BoardTable& boards() {
    static orvalix::hdlc_virtual::BoardTable table;
    return table;
}

}  // namespace

extern "C" {

FBIHDLC_EXPORT std::int32_t FBIHDLC_CALL HdlcOpen(const char* boardName, HdlcSettings* /*settings*/) {
    if (boardName == nullptr) {
        return -1;
    }
    return boards().open(boardName).value_or(-1);
}

FBIHDLC_EXPORT std::int32_t FBIHDLC_CALL HdlcClose(std::int32_t handle) {
    return boards().close(handle) ? 0 : -1;
}

FBIHDLC_EXPORT std::int32_t FBIHDLC_CALL HdlcSendFrame(std::int32_t handle, const std::uint8_t* frame,
                                                       std::int32_t length, std::int32_t /*mode*/,
                                                       FbiHdlcOverlapped* overlapped) {
    if (length < 0 || (frame == nullptr && length > 0)) {
        return -1;
    }
    const auto size = static_cast<std::size_t>(length);
    if (!boards().send(handle, std::span<const std::uint8_t>(frame, size))) {
        return -1;
    }
    if (overlapped != nullptr) {
        orvalix::hdlc_virtual::signalCompletion(*overlapped, size);
    }
    return 0;
}

FBIHDLC_EXPORT std::int32_t FBIHDLC_CALL HdlcGetFrameCount(std::int32_t handle, std::uint32_t* count) {
    const auto waiting = boards().frameCount(handle);
    if (!waiting || count == nullptr) {
        return -1;
    }
    *count = *waiting;
    return 0;
}

FBIHDLC_EXPORT std::int32_t FBIHDLC_CALL HdlcReceiveFrame(std::int32_t handle, std::uint8_t* buffer,
                                                          std::int32_t* length) {
    if (buffer == nullptr || length == nullptr) {
        return -1;
    }
    const auto received = boards().receive(handle, std::span<std::uint8_t>(buffer, FBIHDLC_MAX_FRAME_LENGTH));
    if (!received) {
        return -1;
    }
    *length = static_cast<std::int32_t>(*received);
    return 0;
}

}  // extern "C"

// The exports must keep the shapes the loader casts them to.
static_assert(std::is_same_v<decltype(&HdlcOpen), FbiHdlcOpenFunction>);
static_assert(std::is_same_v<decltype(&HdlcClose), FbiHdlcCloseFunction>);
static_assert(std::is_same_v<decltype(&HdlcSendFrame), FbiHdlcSendFrameFunction>);
static_assert(std::is_same_v<decltype(&HdlcGetFrameCount), FbiHdlcGetFrameCountFunction>);
static_assert(std::is_same_v<decltype(&HdlcReceiveFrame), FbiHdlcReceiveFrameFunction>);
