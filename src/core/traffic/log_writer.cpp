#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>

#include "core/traffic/log_files.hpp"

namespace orvalix {
namespace {

constexpr std::array<char, 3> kUtf8Bom{'\xEF', '\xBB', '\xBF'};
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHexDigits = "0123456789abcdef";

// Opened for appending; a file that is empty (new) gets the byte-order mark first, as the
// runtime's UTF-8 text streams do.
std::ofstream openForAppend(const std::filesystem::path& path) {
    std::ofstream file;
    if (path.empty()) {
        return file;
    }
    file.open(path, std::ios::binary | std::ios::app);
    if (!file) {
        return file;
    }
    file.seekp(0, std::ios::end);
    if (file.tellp() == std::streampos(0)) {
        file.write(kUtf8Bom.data(), static_cast<std::streamsize>(kUtf8Bom.size()));
    }
    return file;
}

void write(std::ostream& file, std::string_view text) {
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

void writeRecordLine(std::ostream& file, std::span<const std::uint8_t> data, std::uint64_t time,
                     std::uint32_t attribute) {
    write(file, formatTimeNarrow(time));

    std::array<char, 40> fields{};
    const int written = std::snprintf(fields.data(), fields.size(), ",%d,%.8x", static_cast<int>(data.size()),
                                      static_cast<unsigned>(attribute));
    write(file, std::string_view(fields.data(), written > 0 ? static_cast<std::size_t>(written) : 0));

    // The bytes in chunks, so that a long frame is not a write per byte.
    std::array<char, 3 * 256> chunk{};
    std::size_t used = 0;
    for (const std::uint8_t byte : data) {
        chunk[used++] = ',';
        chunk[used++] = kHexDigits[byte >> 4];
        chunk[used++] = kHexDigits[byte & 0x0F];
        if (used == chunk.size()) {
            write(file, std::string_view(chunk.data(), used));
            used = 0;
        }
    }
    write(file, std::string_view(chunk.data(), used));
    write(file, kLineEnd);
}

bool writePreTrigger(const std::filesystem::path& path, TrafficStream& stream, std::int32_t preTriggerCount,
                     std::span<std::uint8_t> buffer) {
    // 64-bit: a count of 2^31 - 1 plus the triggering record does not fit 32 bits.
    std::int64_t want = std::int64_t{preTriggerCount} + 1;
    const std::int64_t count = stream.recordCount();
    std::int64_t start = count - want;
    if (start < 0) {
        want = count;
        start = 0;
    }
    if (want <= 0) {
        return true;
    }
    std::ofstream file = openForAppend(path);
    if (!file) {
        return false;
    }
    for (std::int64_t k = 0; k < want; ++k) {
        std::uint64_t time = 0;
        std::uint32_t attribute = 0;
        const std::int32_t length = stream.get(static_cast<std::int32_t>(start + k), buffer, time, attribute);
        if (length > 0) {
            const std::size_t kept = std::min(buffer.size(), static_cast<std::size_t>(length));
            writeRecordLine(file, buffer.first(kept), time, attribute);
        }
    }
    return true;
}

void appendRecords(const std::filesystem::path& path, std::span<const LogRecord> records) {
    if (records.empty()) {
        return;
    }
    std::ofstream file = openForAppend(path);
    if (!file) {
        return;
    }
    for (const LogRecord& record : records) {
        if (!record.data.empty()) {
            writeRecordLine(file, record.data, record.time, record.attribute);
        }
    }
}

}  // namespace orvalix
