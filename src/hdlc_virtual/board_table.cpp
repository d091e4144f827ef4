#include "hdlc_virtual/board_table.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

namespace orvalix::hdlc_virtual {

std::optional<std::int32_t> boardNumber(std::string_view boardName) {
    constexpr std::string_view prefix = "FBIHDLC";
    if (!boardName.starts_with(prefix) || boardName.size() == prefix.size()) {
        return std::nullopt;
    }
    const std::string_view digits = boardName.substr(prefix.size());
    std::uint32_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc{} || end != digits.data() + digits.size() ||
        number > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(number);
}

std::optional<std::int32_t> BoardTable::open(std::string_view boardName) {
    const auto number = boardNumber(boardName);
    if (!number) {
        return std::nullopt;
    }
    const std::lock_guard lock(mutex_);
    if (!open_.try_emplace(*number).second) {
        return std::nullopt;
    }
    return number;
}

bool BoardTable::close(std::int32_t handle) {
    const std::lock_guard lock(mutex_);
    return open_.erase(handle) == 1;
}

bool BoardTable::send(std::int32_t handle, std::span<const std::uint8_t> frame) {
    const std::lock_guard lock(mutex_);
    const auto sender = open_.find(handle);
    if (sender == open_.end()) {
        return false;
    }
    const auto peer = open_.find(handle ^ 1);
    auto& queue = peer != open_.end() ? peer->second : sender->second;
    queue.emplace_back(frame.begin(), frame.end());
    return true;
}

std::optional<std::uint32_t> BoardTable::frameCount(std::int32_t handle) {
    const std::lock_guard lock(mutex_);
    const auto board = open_.find(handle);
    if (board == open_.end()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(board->second.size());
}

std::optional<std::size_t> BoardTable::receive(std::int32_t handle, std::span<std::uint8_t> destination) {
    const std::lock_guard lock(mutex_);
    const auto board = open_.find(handle);
    if (board == open_.end() || board->second.empty()) {
        return std::nullopt;
    }
    const Frame& frame = board->second.front();
    const std::size_t length = std::min(frame.size(), destination.size());
    std::copy_n(frame.begin(), length, destination.begin());
    board->second.pop_front();
    return length;
}

}  // namespace orvalix::hdlc_virtual
