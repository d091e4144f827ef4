#include "core/text/text_conversion.hpp"

#include <cstdint>

namespace orvalix {
namespace {

// Conversions refuse what the platform's own text routines cannot index with an int.
constexpr std::size_t kMaxConvertedLength = 0x7FFFFFFF;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void appendCodePoint(char32_t code, std::u16string& wide) {
    if (code < 0x10000) {
        wide.push_back(static_cast<char16_t>(code));
        return;
    }
    const char32_t offset = code - 0x10000;
    wide.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
    wide.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
}

void appendUtf8(char32_t code, std::string& narrow) {
    if (code < 0x80) {
        narrow.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        narrow.push_back(static_cast<char>(0xC0 | (code >> 6)));
        narrow.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        narrow.push_back(static_cast<char>(0xE0 | (code >> 12)));
        narrow.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        narrow.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        narrow.push_back(static_cast<char>(0xF0 | (code >> 18)));
        narrow.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        narrow.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        narrow.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

std::size_t appendUtf8AsUtf16(std::string_view narrow, std::u16string& wide) {
    std::size_t i = 0;
    while (i < narrow.size()) {
        const auto lead = static_cast<unsigned char>(narrow[i]);
        if (lead < 0x80) {
            wide.push_back(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t code = 0;
        char32_t minimum = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1Fu;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0Fu;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07u;
            minimum = 0x10000;
        } else {
            return i;  // stray continuation byte, C0/C1 overlong lead, or F5..FF
        }
        if (narrow.size() - i < length) {
            return i;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(narrow[i + k]);
            if (!isContinuation(next)) {
                return i;
            }
            code = (code << 6) | (next & 0x3Fu);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return i;
        }
        appendCodePoint(code, wide);
        i += length;
    }
    return std::u16string::npos;
}

std::u16string toWide(std::string_view narrow) {
    std::u16string wide;
    wide.reserve(narrow.size());
    if (appendUtf8AsUtf16(narrow, wide) != std::u16string::npos) {
        return {};
    }
    if (wide.size() >= kMaxConvertedLength) {
        return {};
    }
    return wide;
}

std::string toNarrow(std::u16string_view wide) {
    if (const auto nul = wide.find(u'\0'); nul != std::u16string_view::npos) {
        wide = wide.substr(0, nul);
    }
    std::string narrow;
    narrow.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (isLowSurrogate(unit)) {
            return {};
        }
        if (!isHighSurrogate(unit)) {
            appendUtf8(unit, narrow);
            continue;
        }
        if (i + 1 >= wide.size() || !isLowSurrogate(wide[i + 1])) {
            return {};
        }
        const char32_t code =
            0x10000 + ((static_cast<char32_t>(unit - 0xD800) << 10) | (wide[i + 1] - 0xDC00u));
        appendUtf8(code, narrow);
        ++i;
    }
    if (narrow.size() >= kMaxConvertedLength) {
        return {};
    }
    return narrow;
}

}  // namespace orvalix
