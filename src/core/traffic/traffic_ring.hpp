#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

#include "core/ports/udp_endpoint.hpp"

namespace orvalix {

// A fixed ring of traffic records in one buffer made at creation; when full, a push
// overwrites the oldest record. Every operation takes the ring's own lock and none allocates.
// A capacity or a maximum length below 1, or a buffer that cannot be made, gives a ring that
// keeps nothing: its capacity and maximum length read as 0 and every push stores nothing.
// A maximum length above the largest frame (kMaxFrameLength) is taken as that length.
class TrafficRing {
public:
    // A ring that keeps peers holds the far end of each record (a UDP or TCP port's) beside it.
    TrafficRing(std::int32_t capacity, std::int32_t maxLength, std::int32_t extraSize, bool keepsPeers = false);
    TrafficRing(const TrafficRing&) = delete;
    TrafficRing& operator=(const TrafficRing&) = delete;

    // Stores at most maxLength bytes; a short or empty extra block is padded with zeros.
    // Returns the stored length.
    std::int32_t push(std::span<const std::uint8_t> data, std::uint64_t time, std::span<const std::uint8_t> extra,
                      UdpEndpoint peer = {});

    // index < 0 reads and removes the oldest record; otherwise a position from the oldest (0),
    // clamped to the newest. Returns the stored length, 0 (and time 0) when empty. Data and
    // extra are copied as far as the spans reach (data needs maxLength bytes to get it all).
    std::int32_t read(std::int32_t index, std::span<std::uint8_t> data, std::uint64_t& time,
                      std::span<std::uint8_t> extra);
    // The same, with the record's peer (all zero when the ring keeps none).
    std::int32_t read(std::int32_t index, std::span<std::uint8_t> data, std::uint64_t& time,
                      std::span<std::uint8_t> extra, UdpEndpoint& peer);

    void clear();
    // Records a push overwrote before anyone read them, since the ring was made or cleared.
    std::uint64_t overwritten() const;
    std::int32_t size() const;

    std::int32_t capacity() const { return capacity_; }
    std::int32_t maxLength() const { return maxLength_; }
    std::int32_t extraSize() const { return extraSize_; }
    // The settings asked for records (capacity and length at least 1), but the buffer could
    // not be made: the ring keeps nothing although it was meant to.
    bool bufferMissing() const { return bufferMissing_; }

private:
    std::uint8_t* slot(std::int32_t index) const;

    mutable std::mutex mutex_;
    std::int32_t head_ = 0;
    std::int32_t count_ = 0;
    std::int32_t capacity_ = 0;
    std::int32_t maxLength_ = 0;
    std::int32_t extraSize_ = 0;
    std::size_t slotSize_ = 0;
    bool bufferMissing_ = false;
    std::uint64_t overwritten_ = 0;
    // Not value-initialised: pages of a large ring are touched only as records arrive.
    std::unique_ptr<std::uint8_t[]> buffer_;
    // One per slot when the ring keeps peers; the slots' bytes stay as the ring memory counts them.
    std::unique_ptr<UdpEndpoint[]> peers_;
};

}  // namespace orvalix
