/* Compiles the board library's header as C, the language its users write. */
#include "hdlc_abi/fbi_hdlc_abi.h"

_Static_assert(sizeof(HdlcSettings) == 116, "the settings record is 29 words");
#ifndef _WIN32
_Static_assert(sizeof(FbiHdlcOverlapped) == 32, "four words and an event, as OVERLAPPED on 64-bit Windows");
#endif
