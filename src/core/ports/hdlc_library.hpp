#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "core/platform/dynamic_library.hpp"
#include "core/ports/hdlc_settings.hpp"

namespace orvalix {

struct HdlcWriteRecord;

// The board library, loaded on first use and kept for the process. One load is attempted
// at most: a library that is missing stays missing, and every call then does nothing.
class HdlcLibrary {
public:
    // "FbiHdlc" beside the executable, then in ../lib/orvalix from there (the installed
    // layout), then by plain name through the system's search.
    HdlcLibrary();
    // The first of these that loads.
    explicit HdlcLibrary(std::vector<std::filesystem::path> candidates);
    ~HdlcLibrary();

    HdlcLibrary(const HdlcLibrary&) = delete;
    HdlcLibrary& operator=(const HdlcLibrary&) = delete;

    // The handle, or -1 (also when the library or the function is missing).
    std::int32_t open(std::string_view boardName, const HdlcSettingsWords& settings);
    void close(std::int32_t handle);
    // The number of received frames waiting; 0 when it cannot be asked.
    std::uint32_t frameCount(std::int32_t handle);
    // One frame into buffer, which must hold kMaxFrameLength bytes; its length,
    // clamped to that size, and 0 on failure or when the library reports a negative length.
    std::size_t receiveFrame(std::int32_t handle, std::span<std::uint8_t> buffer);
    // False when nothing was handed over (then the event will not be set).
    bool sendFrame(std::int32_t handle, std::span<const std::uint8_t> frame, HdlcWriteRecord& record);

    bool loadAttempted() const { return loadAttempted_; }
    bool loaded() const { return module_.loaded(); }

private:
    void load();

    std::vector<std::filesystem::path> candidates_;
    bool loadAttempted_ = false;
    platform::DynamicLibrary module_;
    // The five entry points, typed by the board's C interface, which no header shows.
    struct EntryPoints;
    std::unique_ptr<EntryPoints> entry_;
};

}  // namespace orvalix
