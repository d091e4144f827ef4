#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <vector>

namespace orvalix {

// A checkpoint text with one integer in it. The value is kept beside a pointer to the
// format and formatted only when the trace is dumped, so that checkpoints on the per-byte
// path cost a copy of two words. Formats must be string literals (static storage) with
// exactly one conversion, "%d" for Int32 and "%lld" for Int64.
struct TraceFormat {
    enum class Argument { Int32, Int64 };
    const char* text;
    Argument argument;
};

// Timestamped checkpoints of one thread in a fixed ring that keeps the newest entries.
// Every slot is allocated by the constructor; recording never allocates and holds the lock
// only for the copy into one slot. Safe to use from several threads.
class ExecutionTrace {
public:
    static constexpr std::size_t kMaxMessageLength = 256;

    // A capacity of 0 keeps nothing.
    explicit ExecutionTrace(std::size_t capacity);
    ~ExecutionTrace();
    ExecutionTrace(const ExecutionTrace&) = delete;
    ExecutionTrace& operator=(const ExecutionTrace&) = delete;

    // A fixed text; texts longer than kMaxMessageLength bytes are cut, and so is a text at
    // its first NUL.
    void record(std::string_view message);
    // A format with its value, formatted when dumped exactly as it would have been now: the
    // value taken as int for Int32, long long for Int64, the text cut to kMaxMessageLength.
    void record(const TraceFormat& format, std::int64_t value);

    // Writes the frequency line and every entry, oldest first, emptying the trace; entries
    // recorded meanwhile are written too. An entry with an empty message ends the dump.
    // False (and the trace unchanged) when the file cannot be opened; false also when a
    // write fails.
    bool dumpToFile(const std::filesystem::path& path);

    std::size_t size() const;

private:
    struct Slot;
    // The slot the next entry goes to, counted in; the lock must be held and a slot exist.
    Slot& claimSlot();

    mutable std::mutex mutex_;
    std::vector<Slot> slots_;
    std::size_t nextIndex_ = 0;
    std::size_t count_ = 0;
    std::int64_t ticksPerSecond_ = 0;
};

}  // namespace orvalix
