#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <vector>

namespace orvalix {

// A checkpoint text with one integer in it. The value is kept beside a pointer to the
// format and formatted only when the trace is dumped, so that checkpoints on the per-byte
// path cost a copy of two words. Formats are string literals (static storage) with exactly
// one conversion, "%d" for Int32 and "%lld" for Int64 (flags and a width may come between):
// the compiler refuses any other, since the dump hands the text to the C library's formatting.
class TraceFormat {
public:
    enum class Argument { Int32, Int64 };

    consteval TraceFormat(const char* text, Argument argument) : text_(text), argument_(argument) {
        if (!accepts(text, argument)) {
            throw "a trace format needs exactly one conversion, %d for Int32 or %lld for Int64";
        }
    }
    // No format: the text of an empty entry.
    constexpr TraceFormat() = default;

    const char* text() const { return text_; }
    Argument argument() const { return argument_; }

    // Whether the constructor takes the text for the argument.
    static consteval bool accepts(const char* text, Argument argument) {
        int conversions = 0;
        for (const char* c = text; *c != '\0'; ++c) {
            if (*c != '%') {
                continue;
            }
            ++c;
            while (*c == '-' || *c == '+' || *c == ' ' || *c == '#' || (*c >= '0' && *c <= '9')) {
                ++c;
            }
            const bool isInt32 = c[0] == 'd';
            const bool isInt64 = c[0] == 'l' && c[1] == 'l' && c[2] == 'd';
            if (!(argument == Argument::Int32 ? isInt32 : isInt64)) {
                return false;
            }
            c += isInt64 ? 2 : 0;
            ++conversions;
        }
        return conversions == 1;
    }

private:
    const char* text_ = "";
    Argument argument_ = Argument::Int32;
};

// Timestamped checkpoints of one thread in a fixed ring that keeps the newest entries.
// Every slot is allocated by the constructor; recording never allocates. A trace shared by
// threads holds its lock only for the copy into one slot; a trace that one thread alone
// records, dumps and sizes may do without the lock.
class ExecutionTrace {
public:
    static constexpr std::size_t kMaxMessageLength = 256;

    enum class Access { AnyThread, OneThread };
    // Now reads the clock; Latest takes the newest entry's stamp instead (a fresh reading
    // when there has been none), for a checkpoint microseconds after the one before it.
    enum class Stamp { Now, Latest };

    // A capacity of 0 keeps nothing.
    explicit ExecutionTrace(std::size_t capacity, Access access = Access::AnyThread);
    ~ExecutionTrace();
    ExecutionTrace(const ExecutionTrace&) = delete;
    ExecutionTrace& operator=(const ExecutionTrace&) = delete;

    // A fixed text; texts longer than kMaxMessageLength bytes are cut, and so is a text at
    // its first NUL.
    void record(std::string_view message);
    // A format with its value, formatted when dumped exactly as it would have been now: the
    // value taken as int for Int32, long long for Int64, the text cut to kMaxMessageLength.
    void record(const TraceFormat& format, std::int64_t value, Stamp stamp = Stamp::Now) {
        // Inline for the per-byte checkpoints of the service thread: no lock, no clock.
        if (stamp == Stamp::Latest && !shared_ && stamped_) {
            storeDeferred(format, value);
            return;
        }
        recordStamped(format, value, stamp);
    }

    // Writes the frequency line and every entry, oldest first, emptying the trace; entries
    // recorded meanwhile are written too. An entry with an empty message ends the dump.
    // False (and the trace unchanged) when the file cannot be opened; false also when a
    // write fails.
    bool dumpToFile(const std::filesystem::path& path);

    std::size_t size() const;

private:
    // Either a fixed text (its length here, its bytes in texts_) or a deferred format with its value.
    struct Entry {
        std::int64_t stamp = 0;
        TraceFormat format;
        std::int64_t value = 0;
        std::uint32_t length = 0;
        bool deferred = false;
    };
    using Text = std::array<char, kMaxMessageLength>;

    // The lock when threads share the trace, else nothing.
    std::unique_lock<std::mutex> guard() const;
    // The index the next entry goes to, counted in; the guard must be held and a slot exist.
    std::size_t claimSlot() {
        const std::size_t index = nextIndex_;
        nextIndex_ = nextIndex_ + 1 == capacity_ ? 0 : nextIndex_ + 1;
        count_ = count_ == capacity_ ? count_ : count_ + 1;
        return index;
    }
    // A format entry with the latest stamp; the guard must be held and a slot exist.
    void storeDeferred(const TraceFormat& format, std::int64_t value) {
        Entry& entry = entries_[claimSlot()];
        entry.stamp = latestStamp_;
        entry.format = format;
        entry.value = value;
        entry.deferred = true;
    }
    // record() of a format when it takes the lock or reads the clock.
    void recordStamped(const TraceFormat& format, std::int64_t value, Stamp stamp);

    mutable std::mutex mutex_;
    bool shared_ = true;
    // Entries and the texts of fixed-text entries, by the same index: recording a format
    // touches only its small entry.
    std::vector<Entry> entries_;
    std::vector<Text> texts_;
    std::size_t capacity_ = 0;  // entries_.size(), without the division that works it out
    std::size_t nextIndex_ = 0;
    std::size_t count_ = 0;
    std::int64_t latestStamp_ = 0;
    bool stamped_ = false;
    std::int64_t ticksPerSecond_ = 0;
};

}  // namespace orvalix
