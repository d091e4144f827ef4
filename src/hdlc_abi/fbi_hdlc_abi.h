/* The five functions of the HDLC board library as the simulator loads them, and the
   records they exchange. Plain C: the vendor's library and ours both honour it. */
#ifndef FBI_HDLC_ABI_H
#define FBI_HDLC_ABI_H

#include <stdint.h>

#ifdef _WIN32
#include <windows.h> /* OVERLAPPED */
#define FBIHDLC_CALL __stdcall
#else
#define FBIHDLC_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The largest frame the caller's receive buffer holds. */
#define FBIHDLC_MAX_FRAME_LENGTH 16384

/* The settings record handed to HdlcOpen: 116 bytes. */
typedef struct HdlcSettings {
    uint32_t words[29];
} HdlcSettings;

/* The send-completion record. On Windows the system's OVERLAPPED, whose event the library
   sets; elsewhere the same shape with an eventfd the library signals by writing a uint64 1. */
#ifdef _WIN32
typedef OVERLAPPED FbiHdlcOverlapped;
#else
typedef struct FbiHdlcOverlapped {
    uint64_t internal;
    uint64_t internalHigh;
    uint32_t offset;
    uint32_t offsetHigh;
    intptr_t event;
} FbiHdlcOverlapped;
#endif

/* Offsets to 0 and the event set; what the caller does before every send. */
static inline void fbiHdlcPrepareOverlapped(FbiHdlcOverlapped* overlapped, intptr_t event) {
#ifdef _WIN32
    overlapped->Offset = 0;
    overlapped->OffsetHigh = 0;
    overlapped->hEvent = (HANDLE)event;
#else
    overlapped->offset = 0;
    overlapped->offsetHigh = 0;
    overlapped->event = event;
#endif
}

/* Board name such as "FBIHDLC0"; the handle, or -1. */
typedef int32_t(FBIHDLC_CALL* FbiHdlcOpenFunction)(const char* boardName, HdlcSettings* settings);
typedef int32_t(FBIHDLC_CALL* FbiHdlcCloseFunction)(int32_t handle);
/* Queues one frame; the overlapped record's event is signalled when it has gone. */
typedef int32_t(FBIHDLC_CALL* FbiHdlcSendFrameFunction)(int32_t handle, const uint8_t* frame, int32_t length,
                                                        int32_t mode, FbiHdlcOverlapped* overlapped);
/* 0 on success, with the number of received frames waiting in count. */
typedef int32_t(FBIHDLC_CALL* FbiHdlcGetFrameCountFunction)(int32_t handle, uint32_t* count);
/* 0 on success, with one frame in buffer (16384 bytes, not passed) and its length. */
typedef int32_t(FBIHDLC_CALL* FbiHdlcReceiveFrameFunction)(int32_t handle, uint8_t* buffer, int32_t* length);

#ifdef __cplusplus
}
#endif

#endif /* FBI_HDLC_ABI_H */
