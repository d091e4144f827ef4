// A board library that reports whatever frame length the handle says, to check that the
// program never trusts it beyond its buffer.

#include <cstdint>

#include "hdlc_abi/fbi_hdlc_abi.h"

#ifdef _WIN32
#define TEST_EXPORT __declspec(dllexport)
#else
#define TEST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

TEST_EXPORT std::int32_t FBIHDLC_CALL HdlcOpen(const char*, HdlcSettings*) { return -1; }
TEST_EXPORT std::int32_t FBIHDLC_CALL HdlcClose(std::int32_t) { return 0; }
TEST_EXPORT std::int32_t FBIHDLC_CALL HdlcSendFrame(std::int32_t, const std::uint8_t*, std::int32_t,
                                                    std::int32_t, FbiHdlcOverlapped*) { return 0; }
TEST_EXPORT std::int32_t FBIHDLC_CALL HdlcGetFrameCount(std::int32_t, std::uint32_t* count) {
    *count = 1;
    return 0;
}

TEST_EXPORT std::int32_t FBIHDLC_CALL HdlcReceiveFrame(std::int32_t handle, std::uint8_t* buffer,
                                                       std::int32_t* length) {
    for (int i = 0; i < FBIHDLC_MAX_FRAME_LENGTH; ++i) buffer[i] = static_cast<std::uint8_t>(i);
    *length = handle;
    return 0;
}

}  // extern "C"
