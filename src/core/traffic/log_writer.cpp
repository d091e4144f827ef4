#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "core/project/fault_rule.hpp"
#include "core/traffic/log_files.hpp"

namespace orvalix {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHexDigits = "0123456789abcdef";

// The reason of the stream operation that just failed; the streams keep none of their own.
std::error_code lastSystemError() {
    const int error = errno;
    return std::error_code(error != 0 ? error : EIO, std::generic_category());
}

// Bytes 0 .. size of a file, or of none when it does not exist or cannot be measured.
std::uintmax_t sizeOrZero(const fs::path& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

}  // namespace

void LogBlock::add(std::span<const std::uint8_t> data, std::uint64_t time, std::uint32_t attribute,
                   std::string_view fault) {
    text_ += formatTimeNarrow(time);
    std::array<char, 40> fields{};
    const int written = std::snprintf(fields.data(), fields.size(), ",%d,%.8x", static_cast<int>(data.size()),
                                      static_cast<unsigned>(attribute));
    text_.append(fields.data(), written > 0 ? static_cast<std::size_t>(written) : 0);
    const std::size_t bytesAt = text_.size();
    text_.resize(bytesAt + 3 * data.size());
    char* out = text_.data() + bytesAt;
    for (const std::uint8_t byte : data) {
        *out++ = ',';
        *out++ = kHexDigits[byte >> 4];
        *out++ = kHexDigits[byte & 0x0F];
    }
    if (!fault.empty()) {
        const bool quoted = fault.find_first_of(",\"\r\n") != std::string_view::npos;
        text_ += quoted ? ",\"fault: " : ",fault: ";
        for (const char c : fault) {
            text_.append(c == '"' ? 2 : 1, c);
        }
        text_ += quoted ? "\"" : "";
    }
    text_ += kLineEnd;
    lineEnds_.push_back(text_.size());
}

std::error_code appendToFile(const fs::path& path, std::string_view bytes) {
    errno = 0;
    std::ofstream file(path, std::ios::binary | std::ios::app);
    if (!file) {
        return lastSystemError();
    }
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.flush();
    if (!file) {
        return lastSystemError();
    }
    file.close();
    return file ? std::error_code{} : lastSystemError();
}

LogWrite appendBlock(const fs::path& path, const LogBlock& block, const AppendBytes& append) {
    if (block.empty() || path.empty()) {
        return {};
    }
    const std::uintmax_t start = sizeOrZero(path);
    const std::string_view bom = start == 0 ? kUtf8Bom : std::string_view{};
    std::string bytes;
    bytes.reserve(bom.size() + block.text().size());
    bytes.append(bom).append(block.text());
    const std::error_code error = append(path, bytes);
    if (!error) {
        return LogWrite{block.recordCount(), {}};
    }

    // Keep the records that went in whole; the rest of the last one goes.
    const std::uintmax_t reached = std::max(sizeOrZero(path), start);
    const std::uintmax_t textReached = reached - start < bom.size() ? 0 : reached - start - bom.size();
    const auto ends = block.lineEnds();
    const auto whole = static_cast<std::size_t>(
        std::upper_bound(ends.begin(), ends.end(), textReached) - ends.begin());
    const std::uintmax_t keep = whole == 0 ? start : start + bom.size() + ends[whole - 1];
    std::error_code ignored;
    if (keep == 0) {
        fs::remove(path, ignored);
    } else if (reached != keep) {
        fs::resize_file(path, keep, ignored);
    }
    return LogWrite{whole, error};
}

LogBlock preTriggerBlock(TrafficStream& stream, std::int32_t preTriggerCount, std::span<std::uint8_t> buffer) {
    // 64-bit: a count of 2^31 - 1 plus the triggering record does not fit 32 bits.
    std::int64_t want = std::int64_t{preTriggerCount} + 1;
    const std::int64_t count = stream.recordCount();
    std::int64_t start = count - want;
    if (start < 0) {
        want = count;
        start = 0;
    }
    LogBlock block;
    for (std::int64_t k = 0; k < want; ++k) {
        std::uint64_t time = 0;
        std::uint32_t attribute = 0;
        const std::int32_t length = stream.get(static_cast<std::int32_t>(start + k), buffer, time, attribute);
        if (length > 0) {
            const std::size_t kept = std::min(buffer.size(), static_cast<std::size_t>(length));
            block.add(buffer.first(kept), time, attribute, faultNameOfRecord(stream.environment().faults, attribute));
        }
    }
    return block;
}

}  // namespace orvalix
