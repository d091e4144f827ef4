#pragma once

#include <cstdint>

#include "core/service/service_runtime.hpp"

namespace orvalix {

// Names under which expressions read the frame being received and the frame last built.
inline constexpr std::u16string_view kReceiveName = u"R";

// Reads every opened port once, in the runtime's order, into each environment's read buffer,
// and reports what a port tells when it changed. A lost port is no longer read.
void receivePhase(ServiceRuntime& runtime);

// One read of the environment's port into its read buffer; false when nothing came (or the port
// is lost), the buffer then empty.
bool readPort(ServiceRuntime& runtime, EnvironmentRuntime& environment);

// Frames a frame port (UDP, HDLC) hands over in one cycle at most, each with its own pass: a
// partner that sends faster than one a cycle is kept up with instead of falling behind.
inline constexpr int kMaxFramesPerCycle = 64;

// True when no byte came for longer than the limit (100 ns units), compared as signed values.
bool characterTimedOut(std::uint64_t now, std::uint64_t lastByteTime, std::int64_t limit);

// Stream environments (serial, TCP), before their per-byte passes: the last byte time and the
// time-out flag.
void startStreamReceive(ServiceRuntime& runtime, EnvironmentRuntime& environment);

// Frame environments, before each pass: the frame read becomes the receive buffer.
void startFrameReceive(EnvironmentRuntime& environment);

// Appends one received byte; a byte that finds the buffer full is dropped.
void appendReceivedByte(ByteBuffer& buffer, std::uint8_t byte);

// Before every pass: the activity entry, "R" and "T", then the named conditions.
void prepareEnvironmentReceive(ServiceRuntime& runtime, EnvironmentRuntime& environment);

// Each named condition that holds keeps a copy of the receive buffer under its name.
void recogniseNamedFrames(ServiceRuntime& runtime, EnvironmentRuntime& environment);

// What came that an ignore rule of the fault file applies to is recorded and then emptied, so
// that neither named conditions nor steps see it: a frame port's frame (the receive buffer), a
// stream port's read (the bytes one read delivered, before they join the frame, so they do not
// count as the line's last bytes either).
void ignoreByFault(ServiceRuntime& runtime, EnvironmentRuntime& environment);

// Hands the receive buffer to the traffic store as a received record.
void reportReceivedFrame(ServiceRuntime& runtime, EnvironmentRuntime& environment);

}  // namespace orvalix
