#include "core/traffic/traffic_ring.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "core/bytes/byte_buffer.hpp"

namespace orvalix {
namespace {

// Stored length, then the time as its low and its high 32-bit half.
constexpr std::size_t kLengthOffset = 0;
constexpr std::size_t kTimeLowOffset = 4;
constexpr std::size_t kTimeHighOffset = 8;
constexpr std::size_t kSlotHeaderSize = 12;

template <typename T>
void store(std::uint8_t* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

template <typename T>
T load(const std::uint8_t* at) {
    T value{};
    std::memcpy(&value, at, sizeof value);
    return value;
}

}  // namespace

TrafficRing::TrafficRing(std::int32_t capacity, std::int32_t maxLength, std::int32_t extraSize, bool keepsPeers)
    : extraSize_(std::max(extraSize, std::int32_t{0})) {
    if (capacity < 1 || maxLength < 1) {
        return;
    }
    // No frame is longer than kMaxFrameLength: room beyond it would never be used.
    maxLength = std::min(maxLength, static_cast<std::int32_t>(kMaxFrameLength));
    const std::uint64_t slotSize = kSlotHeaderSize + static_cast<std::uint64_t>(extraSize_) +
                                   static_cast<std::uint64_t>(maxLength);
    const std::uint64_t total = slotSize * static_cast<std::uint64_t>(capacity);
    if (total > static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
        bufferMissing_ = true;
        return;
    }
    try {
        buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(total));
        if (keepsPeers) {
            peers_ = std::make_unique<UdpEndpoint[]>(static_cast<std::size_t>(capacity));
        }
    } catch (const std::bad_alloc&) {
        buffer_.reset();
        bufferMissing_ = true;  // the owner refuses to start with it
        return;
    }
    capacity_ = capacity;
    maxLength_ = maxLength;
    slotSize_ = static_cast<std::size_t>(slotSize);
}

std::uint8_t* TrafficRing::slot(std::int32_t index) const {
    return buffer_.get() + static_cast<std::size_t>(index) * slotSize_;
}

std::int32_t TrafficRing::push(std::span<const std::uint8_t> data, std::uint64_t time,
                               std::span<const std::uint8_t> extra, UdpEndpoint peer) {
    const std::lock_guard lock(mutex_);
    if (capacity_ == 0) {
        return 0;
    }
    if (count_ == capacity_) {
        ++overwritten_;
    }
    if (peers_) {
        peers_[static_cast<std::size_t>(head_)] = peer;
    }
    const auto stored = static_cast<std::int32_t>(std::min(data.size(), static_cast<std::size_t>(maxLength_)));
    const auto extraSize = static_cast<std::size_t>(extraSize_);
    const std::size_t extraCopied = std::min(extra.size(), extraSize);

    std::uint8_t* const target = slot(head_);
    store(target + kLengthOffset, stored);
    store(target + kTimeLowOffset, static_cast<std::uint32_t>(time));
    store(target + kTimeHighOffset, static_cast<std::uint32_t>(time >> 32));
    std::uint8_t* const extraTarget = target + kSlotHeaderSize;
    if (extraCopied > 0) {
        std::memcpy(extraTarget, extra.data(), extraCopied);
    }
    std::memset(extraTarget + extraCopied, 0, extraSize - extraCopied);
    if (stored > 0) {
        std::memcpy(extraTarget + extraSize, data.data(), static_cast<std::size_t>(stored));
    }

    head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
    count_ = std::min(count_ + 1, capacity_);
    return stored;
}

std::int32_t TrafficRing::read(std::int32_t index, std::span<std::uint8_t> data, std::uint64_t& time,
                               std::span<std::uint8_t> extra) {
    UdpEndpoint peer;
    return read(index, data, time, extra, peer);
}

std::int32_t TrafficRing::read(std::int32_t index, std::span<std::uint8_t> data, std::uint64_t& time,
                               std::span<std::uint8_t> extra, UdpEndpoint& peer) {
    const std::lock_guard lock(mutex_);
    peer = UdpEndpoint{};
    if (count_ == 0) {
        time = 0;
        return 0;
    }
    const std::int32_t position = std::clamp(index, std::int32_t{0}, count_ - 1);
    std::int32_t slotIndex = head_ - count_ + position;
    if (slotIndex < 0) {
        slotIndex += capacity_;
    }

    if (peers_) {
        peer = peers_[static_cast<std::size_t>(slotIndex)];
    }
    const std::uint8_t* const source = slot(slotIndex);
    const auto stored = load<std::int32_t>(source + kLengthOffset);
    time = static_cast<std::uint64_t>(load<std::uint32_t>(source + kTimeHighOffset)) << 32 |
           load<std::uint32_t>(source + kTimeLowOffset);
    const auto extraSize = static_cast<std::size_t>(extraSize_);
    const std::size_t extraCopied = std::min(extra.size(), extraSize);
    if (extraCopied > 0) {
        std::memcpy(extra.data(), source + kSlotHeaderSize, extraCopied);
    }
    const std::size_t dataCopied = std::min(data.size(), static_cast<std::size_t>(stored));
    if (dataCopied > 0) {
        std::memcpy(data.data(), source + kSlotHeaderSize + extraSize, dataCopied);
    }

    if (index < 0) {
        --count_;  // the oldest is gone; head stays where the next push goes
    }
    return stored;
}

void TrafficRing::clear() {
    const std::lock_guard lock(mutex_);
    head_ = 0;
    count_ = 0;
    overwritten_ = 0;
}

std::uint64_t TrafficRing::overwritten() const {
    const std::lock_guard lock(mutex_);
    return overwritten_;
}

std::int32_t TrafficRing::size() const {
    const std::lock_guard lock(mutex_);
    return count_;
}

}  // namespace orvalix
