#include "cli/named_bytes_argument.hpp"

#include <optional>
#include <string>
#include <utility>

#include "core/text/text_conversion.hpp"

namespace orvalix::cli {
namespace {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

ArgumentRead<NamedBytesArgument> refused(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace

ArgumentRead<NamedBytesArgument> parseNamedBytesArgument(std::string_view text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return refused("'" + std::string(text) + "' is not NAME=HEX");
    }
    const std::string_view hex = text.substr(equals + 1);
    NamedBytesArgument parsed;
    parsed.name = toWide(text.substr(0, equals));
    if (parsed.name.empty()) {
        return refused("the name in '" + std::string(text) + "' is not valid UTF-8");
    }
    int pendingHigh = -1;
    for (std::size_t i = 0; i < hex.size(); ++i) {
        const char c = hex[i];
        if (c == ' ' || c == '\t') {
            if (pendingHigh >= 0) {
                return refused("'" + std::string(hex) + "': a byte needs two hexadecimal digits");
            }
            continue;
        }
        const int digit = hexDigitValue(c);
        if (digit < 0) {
            return refused("'" + std::string(hex) + "': '" + std::string(1, c) +
                           "' is not a hexadecimal digit");
        }
        if (pendingHigh < 0) {
            pendingHigh = digit;
        } else {
            parsed.bytes.push_back(static_cast<std::uint8_t>(pendingHigh * 16 + digit));
            pendingHigh = -1;
        }
    }
    if (pendingHigh >= 0) {
        return refused("'" + std::string(hex) + "': odd number of hexadecimal digits");
    }
    return {std::move(parsed), {}};
}

}  // namespace orvalix::cli

namespace orvalix::cli {

ArgumentRead<std::vector<NamedBytesArgument>> parseNamedBytesArguments(
    const std::vector<std::string>& texts) {
    std::vector<NamedBytesArgument> buffers;
    for (const std::string& text : texts) {
        ArgumentRead<NamedBytesArgument> parsed = parseNamedBytesArgument(text);
        if (!parsed.value) {
            return {std::nullopt, "--bytes " + parsed.error};
        }
        buffers.push_back(std::move(*parsed.value));
    }
    return {std::move(buffers), {}};
}

void registerNamedBytes(const std::vector<NamedBytesArgument>& buffers, NamesTable& names) {
    for (const NamedBytesArgument& buffer : buffers) {
        setNamedBytes(names, buffer.name, buffer.bytes.data(), static_cast<std::uint32_t>(buffer.bytes.size()));
    }
}

}  // namespace orvalix::cli
