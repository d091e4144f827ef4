#include "cli/named_bytes_argument.hpp"

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

}  // namespace

std::string parseNamedBytesArgument(std::string_view text, NamedBytesArgument& result) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return "'" + std::string(text) + "' is not NAME=HEX";
    }
    const std::string_view hex = text.substr(equals + 1);
    NamedBytesArgument parsed;
    parsed.name = toWide(text.substr(0, equals));
    if (parsed.name.empty()) {
        return "the name in '" + std::string(text) + "' is not valid UTF-8";
    }
    int pendingHigh = -1;
    for (std::size_t i = 0; i < hex.size(); ++i) {
        const char c = hex[i];
        if (c == ' ' || c == '\t') {
            if (pendingHigh >= 0) {
                return "'" + std::string(hex) + "': a byte needs two hexadecimal digits";
            }
            continue;
        }
        const int digit = hexDigitValue(c);
        if (digit < 0) {
            return "'" + std::string(hex) + "': '" + std::string(1, c) + "' is not a hexadecimal digit";
        }
        if (pendingHigh < 0) {
            pendingHigh = digit;
        } else {
            parsed.bytes.push_back(static_cast<std::uint8_t>(pendingHigh * 16 + digit));
            pendingHigh = -1;
        }
    }
    if (pendingHigh >= 0) {
        return "'" + std::string(hex) + "': odd number of hexadecimal digits";
    }
    result = std::move(parsed);
    return {};
}

}  // namespace orvalix::cli

namespace orvalix::cli {

std::string parseNamedBytesArguments(const std::vector<std::string>& texts,
                                     std::vector<NamedBytesArgument>& result) {
    for (const std::string& text : texts) {
        NamedBytesArgument parsed;
        if (std::string error = parseNamedBytesArgument(text, parsed); !error.empty()) {
            return "--bytes " + error;
        }
        result.push_back(std::move(parsed));
    }
    return {};
}

void registerNamedBytes(const std::vector<NamedBytesArgument>& buffers, NamesTable& names) {
    for (const NamedBytesArgument& buffer : buffers) {
        setNamedBytes(names, buffer.name, buffer.bytes.data(), static_cast<std::uint32_t>(buffer.bytes.size()));
    }
}

}  // namespace orvalix::cli
