#include "core/traffic/traffic_stream.hpp"

#include <algorithm>

#include "core/traffic/extra_block.hpp"

namespace orvalix {

TrafficStream::TrafficStream(const Environment& environment, std::uint64_t ringMemoryLimit)
    : environment_(&environment), ringMemoryLimit_(ringMemoryLimit) {
    reset();
}

void TrafficStream::reset() {
    ring_.reset();  // the old buffer goes before the new one is made
    ring_ = makeEnvironmentRing(*environment_, ringMemoryLimit_, refusal_);
    marks_.fill(TriggerMark{});
    markHead_ = 0;
    markCount_ = 0;
}

void TrafficStream::clear() {
    ring_->clear();
    markHead_ = 0;
    markCount_ = 0;
}

void TrafficStream::append(std::span<const std::uint8_t> data, std::uint64_t time,
                           std::span<const std::uint8_t> extra) {
    // The push below drops the oldest record: every mark moves one position towards it.
    if (ring_->size() >= ring_->capacity() && markCount_ > 0) {
        for (std::int32_t e = 0; e < markCount_; ++e) {
            std::int32_t& position = marks_[static_cast<std::size_t>(e)].recordPosition;
            if (position >= 0) {
                --position;
            }
        }
    }
    ring_->push(data, time, extra);
}

std::int32_t TrafficStream::addMarks(std::uint64_t time, std::span<const std::uint8_t> extra) {
    const std::int32_t last = ring_->size() - 1;
    const std::size_t conditionCount = environment_->namedConditions.size();
    std::int32_t added = 0;
    for (std::size_t i = 0; i < conditionCount; ++i) {
        if (!markBit(extra, conditionCount, i)) {
            continue;
        }
        marks_[static_cast<std::size_t>(markHead_)] = TriggerMark{static_cast<std::int32_t>(i), last, time};
        markHead_ = markHead_ + 1 == kMarkCapacity ? 0 : markHead_ + 1;
        markCount_ = std::min(markCount_ + 1, kMarkCapacity);
        ++added;
    }
    return added;
}

std::int32_t TrafficStream::get(std::int32_t position, std::span<std::uint8_t> data, std::uint64_t& time,
                                std::uint32_t& attribute) {
    // Only the attribute is wanted from the extra block.
    std::array<std::uint8_t, 4> head{};
    const std::int32_t length = ring_->read(std::max(position, std::int32_t{0}), data, time, head);
    if (length > 0) {
        attribute = orvalix::attribute(head);
    }
    return length;
}

std::int32_t TrafficStream::recordCount() const { return ring_->size(); }

const TriggerMark* TrafficStream::mark(std::int32_t k) const {
    if (k < 0 || k >= markCount_) {
        return nullptr;
    }
    std::int32_t entry = markHead_ - markCount_ + k;
    if (entry < 0) {
        entry += kMarkCapacity;
    }
    return &marks_[static_cast<std::size_t>(entry)];
}

std::int32_t TrafficStream::markConditionNumber(std::int32_t k) const {
    const TriggerMark* found = mark(k);
    return found ? found->condition : -1;
}

std::int64_t TrafficStream::markTime(std::int32_t k) const {
    const TriggerMark* found = mark(k);
    return found ? static_cast<std::int64_t>(found->time) : -1;
}

std::int32_t TrafficStream::markPosition(std::int32_t k) const {
    const TriggerMark* found = mark(k);
    return found ? found->recordPosition : -1;
}

}  // namespace orvalix
