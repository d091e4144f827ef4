#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace orvalix::hdlc_virtual {

// The boards of the process. Board n and board n xor 1 are the two ends of one link; a
// frame goes to the other end when it is open, else back to the sender.
class BoardTable {
public:
    // The handle (the board number), or nothing for an unknown name or a board already open.
    std::optional<std::int32_t> open(std::string_view boardName);
    // Drops the board's queue; false when it was not open.
    bool close(std::int32_t handle);
    bool send(std::int32_t handle, std::span<const std::uint8_t> frame);
    std::optional<std::uint32_t> frameCount(std::int32_t handle);
    // Pops one frame, copying at most destination.size() bytes; its copied length.
    std::optional<std::size_t> receive(std::int32_t handle, std::span<std::uint8_t> destination);

private:
    using Frame = std::vector<std::uint8_t>;
    std::mutex mutex_;
    std::map<std::int32_t, std::deque<Frame>> open_;
};

// "FBIHDLC" followed by a decimal number that fits a handle.
std::optional<std::int32_t> boardNumber(std::string_view boardName);

}  // namespace orvalix::hdlc_virtual
