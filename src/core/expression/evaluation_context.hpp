#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "core/expression/byte_buffer.hpp"

namespace orvalix {

// Elapsed times in 100 ns units, indexed by the time keyword's sub-code:
// 0 since start, 1 since the previous cycle began, 2 from start to the previous cycle.
struct TimeValues {
    std::array<std::int64_t, 3> values{};
};

// Times in 100 ns units since the port's last reception and transmission.
struct PortActivity {
    std::int64_t sinceLastReceive = 0;
    std::int64_t sinceLastTransmit = 0;
};

// Bytes readable by name; the entry does not own them.
struct NamedBytes {
    std::u16string name;
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
};

// std::less<> lets lookups by u16string_view find entries without building a string.
using NamesTable = std::map<std::u16string, NamedBytes, std::less<>>;
using ActivityTable = std::map<std::int64_t, PortActivity>;
using NamedStore = std::map<std::u16string, ByteBuffer, std::less<>>;

struct EvaluationContext {
    TimeValues times;
    ActivityTable activity;
    NamesTable names;
};

// Makes the name refer to the caller's bytes; nothing is copied.
void setNamedBytes(NamesTable& table, std::u16string_view name, const std::uint8_t* data,
                   std::uint32_t length);

// Copies at most kMaxFrameLength bytes into the store entry for the name and registers it.
void storeNamedBytes(const std::uint8_t* data, std::uint32_t length, std::u16string_view name,
                     NamedStore& store, NamesTable& table);

}  // namespace orvalix
