#include "core/text/json_text.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/text/utf8_sequence.hpp"

namespace orvalix {

void appendJsonString(std::string& out, std::string_view utf8) {
    constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                           '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    out += '"';
    while (!utf8.empty()) {
        const char c = utf8.front();
        const auto byte = static_cast<std::uint8_t>(c);
        if (byte >= 0x80) {
            const std::size_t length = utf8SequenceLength(utf8);
            out += length == 0 ? kReplacementCharacter : utf8.substr(0, length);
            utf8.remove_prefix(length == 0 ? 1 : length);
            continue;
        }
        utf8.remove_prefix(1);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    out += "\\u00";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0x0F];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

std::string jsonString(std::string_view utf8) {
    std::string out;
    appendJsonString(out, utf8);
    return out;
}

}  // namespace orvalix
