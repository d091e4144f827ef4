#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/project/project.hpp"

namespace orvalix::cli {

// One pumped record as the run command prints it:
// "<environment> <local time> <RX|TX> <length> <attribute> <bytes>[ marks: <name>, ...]".
std::string formatRecordLine(std::u16string_view environment, const Environment& settings,
                             std::span<const std::uint8_t> data, std::uint64_t time,
                             std::span<const std::uint8_t> extra);

// The names of the named conditions whose mark bits are set, ", " between them.
std::string markNames(const Environment& settings, std::span<const std::uint8_t> extra);

// The names (UTF-8) of the named conditions whose mark bits, or trigger bits, are set, in
// their order.
std::vector<std::string> markedConditions(const Environment& settings, std::span<const std::uint8_t> extra);
std::vector<std::string> triggeredConditions(const Environment& settings, std::span<const std::uint8_t> extra);

// The bytes as lowercase hex, two digits each, nothing between them.
void appendHex(std::string& text, std::span<const std::uint8_t> data);

// "UDP", "serial" or "HDLC board" and the port's name (a UDP port also its remote endpoint), for the
// run header.
std::string describePort(const PortOptions& port);

// A path as UTF-8 text, for the console.
std::string displayPath(const std::filesystem::path& path);

}  // namespace orvalix::cli
