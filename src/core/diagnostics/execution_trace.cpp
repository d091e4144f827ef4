#include "core/diagnostics/execution_trace.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "core/platform/clock.hpp"

namespace orvalix {

namespace {

using MessageBuffer = std::array<char, ExecutionTrace::kMaxMessageLength + 1>;

// The message bytes as recording a formatted text would have kept them.
std::size_t formatDeferred(const TraceFormat& format, std::int64_t value, MessageBuffer& out) {
    const int written = format.argument() == TraceFormat::Argument::Int32
                            ? std::snprintf(out.data(), out.size(), format.text(), static_cast<int>(value))
                            : std::snprintf(out.data(), out.size(), format.text(), static_cast<long long>(value));
    if (written <= 0) {
        return 0;
    }
    return std::min(static_cast<std::size_t>(written), ExecutionTrace::kMaxMessageLength);
}

bool writeText(std::ofstream& file, const char* text, std::size_t length) {
    file.write(text, static_cast<std::streamsize>(length));
    return static_cast<bool>(file);
}

}  // namespace

ExecutionTrace::ExecutionTrace(std::size_t capacity, Access access)
    : shared_(access == Access::AnyThread),
      entries_(capacity),
      texts_(capacity),
      capacity_(capacity),
      ticksPerSecond_(platform::performanceFrequency()) {}

ExecutionTrace::~ExecutionTrace() = default;

std::unique_lock<std::mutex> ExecutionTrace::guard() const {
    return shared_ ? std::unique_lock(mutex_) : std::unique_lock<std::mutex>();
}

void ExecutionTrace::record(std::string_view message) {
    const std::int64_t stamp = platform::performanceCounter();
    message = message.substr(0, std::min(message.size(), kMaxMessageLength));
    message = message.substr(0, message.find('\0'));
    const auto lock = guard();
    if (entries_.empty()) {
        return;
    }
    const std::size_t index = claimSlot();
    Entry& entry = entries_[index];
    entry.stamp = stamp;
    entry.deferred = false;
    entry.length = static_cast<std::uint32_t>(message.size());
    std::memcpy(texts_[index].data(), message.data(), message.size());
    latestStamp_ = stamp;
    stamped_ = true;
}

void ExecutionTrace::recordStamped(const TraceFormat& format, std::int64_t value, Stamp stamp) {
    const std::int64_t now = stamp == Stamp::Now ? platform::performanceCounter() : 0;
    const auto lock = guard();
    if (entries_.empty()) {
        return;
    }
    if (stamp == Stamp::Now) {
        latestStamp_ = now;
    } else if (!stamped_) {
        latestStamp_ = platform::performanceCounter();
    }
    stamped_ = true;
    storeDeferred(format, value);
}

bool ExecutionTrace::dumpToFile(const std::filesystem::path& path) {
    // Binary: the lines end in a bare line feed on every platform.
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return false;
    }
    std::int64_t frequency = 0;
    {
        const auto lock = guard();
        frequency = ticksPerSecond_;
    }
    std::array<char, 96> line{};
    const int headerLength = std::snprintf(line.data(), line.size(), "Frequency, %lld,=((A3-A2)/$B$1)*1000\n",
                                           static_cast<long long>(frequency));
    if (headerLength < 0 || !writeText(file, line.data(), static_cast<std::size_t>(headerLength))) {
        return false;
    }

    MessageBuffer message{};
    for (;;) {
        std::int64_t stamp = 0;
        std::size_t length = 0;
        bool deferred = false;
        TraceFormat format;
        std::int64_t value = 0;
        {
            // One entry at a time, so that recording goes on while the file is written.
            const auto lock = guard();
            if (count_ == 0) {
                break;
            }
            const std::size_t oldest = (nextIndex_ + entries_.size() - count_) % entries_.size();
            const Entry& entry = entries_[oldest];
            stamp = entry.stamp;
            deferred = entry.deferred;
            format = entry.format;
            value = entry.value;
            length = entry.length;
            if (!deferred) {
                std::memcpy(message.data(), texts_[oldest].data(), length);
            }
            --count_;
        }
        if (deferred) {
            length = formatDeferred(format, value, message);
        }
        if (length == 0) {
            break;
        }
        const int stampLength = std::snprintf(line.data(), line.size(), "%20lld,,", static_cast<long long>(stamp));
        // An entry is one line of the file, whatever line breaks its text holds (a "Can't open"
        // text gives the system's reason on a line of its own).
        std::replace(message.begin(), message.begin() + static_cast<std::ptrdiff_t>(length), '\n', ' ');
        message[length] = '\n';
        if (stampLength < 0 || !writeText(file, line.data(), static_cast<std::size_t>(stampLength)) ||
            !writeText(file, message.data(), length + 1)) {
            return false;
        }
    }
    file.close();
    return static_cast<bool>(file);
}

std::size_t ExecutionTrace::size() const {
    const auto lock = guard();
    return count_;
}

}  // namespace orvalix
