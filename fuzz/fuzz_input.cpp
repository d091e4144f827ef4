#include "fuzz_input.hpp"

#include "core/text/text_conversion.hpp"

#include <cstdio>
#include <cstdlib>

namespace orvalix::fuzz {

void require(bool holds, const char* rule) {
    if (!holds) {
        std::fprintf(stderr, "fuzz rule broken: %s\n", rule);
        std::abort();
    }
}

std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::vector<std::string_view> splitPieces(std::string_view text, std::size_t maxPieces) {
    std::vector<std::string_view> pieces;
    while (pieces.size() + 1 < maxPieces) {
        const std::size_t end = text.find(kPieceSeparator);
        if (end == std::string_view::npos) {
            break;
        }
        pieces.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    pieces.push_back(text);
    return pieces;
}

std::u16string decodeLikeDataFile(std::string_view bytes) {
    std::u16string text;
    if (bytes.starts_with("\xFF\xFE")) {
        bytes.remove_prefix(2);
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const auto low = static_cast<unsigned char>(bytes[i]);
            const auto high = static_cast<unsigned char>(bytes[i + 1]);
            text.push_back(static_cast<char16_t>(low | (high << 8U)));
        }
        return text;
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    if (appendUtf8AsUtf16(bytes, text) == std::u16string::npos) {
        return text;
    }
    text.clear();
    for (const char byte : bytes) {
        text.push_back(static_cast<unsigned char>(byte));
    }
    return text;
}

}  // namespace orvalix::fuzz
