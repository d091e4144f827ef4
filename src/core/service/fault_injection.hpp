#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/bytes/byte_buffer.hpp"
#include "core/expression/evaluation_context.hpp"
#include "core/ports/port.hpp"
#include "core/project/fault_rule.hpp"

namespace orvalix {

// The fault seed when none is given: a run is repeatable unless asked otherwise.
inline constexpr std::uint64_t kDefaultFaultSeed = 1;

// Pseudo-random draws (splitmix64): the same seed gives the same draws on every platform.
class FaultRandom {
public:
    explicit FaultRandom(std::uint64_t seed) : state_(seed) {}
    // Uniform in [0, 100).
    double percent();

private:
    std::uint64_t state_;
};

// The first rule that applies to a frame of `length` bytes about to be sent (or, receiving,
// just received), counted; none when no rule does. A rule applies when it is of the direction,
// is below its limit, fits the frame and the port (a byte to corrupt or cut, split only on
// streams, something to ignore), its condition holds (the context reads T, or R, as the
// frame) and its draw falls within its probability. Rules below 100% draw once each time they
// are tried; the others draw nothing.
std::optional<std::size_t> chooseFault(std::span<const FaultRule> rules, bool receiving, std::size_t length,
                                       bool stream, std::span<std::uint64_t> applied, FaultRandom& random,
                                       const EvaluationContext& context);

// Whether any rule holds frames back (delay, duplicate, split), so the environment needs a
// queue of frames to send later.
bool needsDelayedFrames(std::span<const FaultRule> rules);

// Frames to send later, in a fixed number of slots made at start-up: nothing on the cycle's
// path allocates. Due frames go in the order they were queued.
class DelayedFrames {
public:
    static constexpr std::size_t kSlots = 16;

    struct Frame {
        ByteBuffer bytes;
        std::uint64_t due = 0;  // 100 ns units
        std::size_t rule = 0;
        SocketAddress destination;
        std::uint64_t order = 0;
        bool used = false;
    };

    // False, and nothing queued, when every slot is taken.
    bool push(std::span<const std::uint8_t> bytes, std::uint64_t due, std::size_t rule,
              const SocketAddress& destination);
    // The earliest queued frame that is due by `now`, or null.
    Frame* nextDue(std::uint64_t now);
    void release(Frame& frame) {
        frame.used = false;
        --queued_;
    }
    bool empty() const { return queued_ == 0; }

private:
    std::array<Frame, kSlots> slots_{};
    std::uint64_t nextOrder_ = 0;
    std::size_t queued_ = 0;
};

}  // namespace orvalix
