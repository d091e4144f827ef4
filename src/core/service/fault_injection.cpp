#include "core/service/fault_injection.hpp"

#include <algorithm>
#include <cstring>

#include "core/expression/evaluate_expression.hpp"

namespace orvalix {

double FaultRandom::percent() {
    state_ += 0x9E3779B97F4A7C15u;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    // The top 53 bits as a fraction: exact in a double.
    return static_cast<double>(z >> 11) * (100.0 / 9007199254740992.0);
}

namespace {

bool fits(const FaultRule& rule, std::size_t length, bool stream) {
    switch (rule.action) {
        case FaultAction::Corrupt: return rule.first < length;
        case FaultAction::Truncate: return rule.first < length;
        case FaultAction::Split: return stream && rule.first < length;
        case FaultAction::Ignore: return length > 0;
        default: return true;
    }
}

}  // namespace

std::optional<std::size_t> chooseFault(std::span<const FaultRule> rules, bool receiving, std::size_t length,
                                       bool stream, std::span<std::uint64_t> applied, FaultRandom& random,
                                       const EvaluationContext& context) {
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const FaultRule& rule = rules[i];
        if (rule.onReceive() != receiving || (rule.limit && applied[i] >= *rule.limit) ||
            !fits(rule, length, stream) || rule.probability <= 0) {
            continue;
        }
        if (!rule.whenText.empty() && evaluateExpression(rule.when, context) == 0) {
            continue;
        }
        if (rule.probability < 100 && random.percent() >= rule.probability) {
            continue;
        }
        ++applied[i];
        return i;
    }
    return std::nullopt;
}

bool needsDelayedFrames(std::span<const FaultRule> rules) {
    return std::ranges::any_of(rules, [](const FaultRule& rule) {
        return rule.action == FaultAction::Delay || rule.action == FaultAction::Duplicate ||
               rule.action == FaultAction::Split;
    });
}

bool DelayedFrames::push(std::span<const std::uint8_t> bytes, std::uint64_t due, std::size_t rule,
                         const SocketAddress& destination) {
    const auto free = std::ranges::find(slots_, false, &Frame::used);
    if (free == slots_.end()) {
        return false;
    }
    const std::size_t length = std::min(bytes.size(), kMaxFrameLength);
    std::memcpy(free->bytes.data.data(), bytes.data(), length);
    free->bytes.length = static_cast<std::uint32_t>(length);
    free->due = due;
    free->rule = rule;
    free->destination = destination;
    free->order = nextOrder_++;
    free->used = true;
    ++queued_;
    return true;
}

DelayedFrames::Frame* DelayedFrames::nextDue(std::uint64_t now) {
    Frame* next = nullptr;
    for (Frame& frame : slots_) {
        if (frame.used && frame.due <= now && (next == nullptr || frame.order < next->order)) {
            next = &frame;
        }
    }
    return next;
}

}  // namespace orvalix
