#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/expression/compile_expression.hpp"
#include "core/expression/crc_presets.hpp"
#include "core/expression/field_layout.hpp"

namespace orvalix {
namespace {

struct FixedToken {
    std::string_view text;
    TokenKind kind;
    std::int64_t value;
};

// The functions of one kind, told apart by their token's value.
constexpr FixedToken presetToken(std::string_view text, CrcPreset preset) {
    return {text, TokenKind::FunctionCrcPreset, static_cast<std::int64_t>(preset)};
}
constexpr FixedToken byteOrderToken(std::string_view text, FieldByteOrder order) {
    return {text, TokenKind::FunctionByteOrder, static_cast<std::int64_t>(order)};
}

// Keywords first, so that reserved words can never become identifiers.
constexpr std::array<FixedToken, 47> kFixedTokens{{
    {"SinceStart", TokenKind::TimeKeyword, 0},
    {"SinceLast", TokenKind::TimeKeyword, 1},
    {"LastSinceStart", TokenKind::TimeKeyword, 2},
    {"SinceLastRx", TokenKind::SinceLastRxKeyword, -1},
    {"SinceLastTx", TokenKind::SinceLastTxKeyword, -1},
    {"CRC_CCITT1", TokenKind::FunctionCrcCcitt1, 0},
    {"SUM", TokenKind::FunctionSum, 0},
    {"BCC", TokenKind::FunctionBcc, 0},
    {"BCC2", TokenKind::FunctionBcc2, 0},
    {"CRC", TokenKind::FunctionCrc, 0},
    presetToken("CRC8", CrcPreset::Crc8),
    presetToken("CRC16_ARC", CrcPreset::Crc16Arc),
    presetToken("CRC16_MODBUS", CrcPreset::Crc16Modbus),
    presetToken("CRC16_XMODEM", CrcPreset::Crc16Xmodem),
    presetToken("CRC16_IBM3740", CrcPreset::Crc16Ibm3740),
    presetToken("CRC16_KERMIT", CrcPreset::Crc16Kermit),
    presetToken("CRC16_DNP", CrcPreset::Crc16Dnp),
    presetToken("CRC32", CrcPreset::Crc32),
    presetToken("CRC32C", CrcPreset::Crc32c),
    byteOrderToken("LE16", FieldByteOrder::Le16),
    byteOrderToken("BE16", FieldByteOrder::Be16),
    byteOrderToken("LE32", FieldByteOrder::Le32),
    byteOrderToken("BE32", FieldByteOrder::Be32),
    {"LEN", TokenKind::FunctionLength, 0},
    {"COPY", TokenKind::FunctionCopy, 0},
    {"(", TokenKind::LeftParen, 0},
    {")", TokenKind::RightParen, 0},
    {"[", TokenKind::LeftBracket, 0},
    {"]", TokenKind::RightBracket, 0},
    {",", TokenKind::Comma, 0},
    {"+", TokenKind::AdditiveOperator, 0},
    {"-", TokenKind::AdditiveOperator, 1},
    {"*", TokenKind::BinaryOperator, 2},
    {"/", TokenKind::BinaryOperator, 3},
    {"%", TokenKind::BinaryOperator, 4},
    {">", TokenKind::BinaryOperator, 5},
    {"<", TokenKind::BinaryOperator, 6},
    {">=", TokenKind::BinaryOperator, 7},
    {"<=", TokenKind::BinaryOperator, 8},
    {"&", TokenKind::BinaryOperator, 9},
    {"|", TokenKind::BinaryOperator, 10},
    {"~", TokenKind::ComplementOperator, 11},
    {"^", TokenKind::BinaryOperator, 12},
    {"<<", TokenKind::BinaryOperator, 13},
    {">>", TokenKind::BinaryOperator, 14},
    {"==", TokenKind::BinaryOperator, 15},
    {"!=", TokenKind::BinaryOperator, 16},
}};

constexpr bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

constexpr int digitValue(char c) {
    if (isAsciiDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return 99;
}

// strtoll(text, &end, 0) accepted only when end reaches the end of the text. Out-of-range
// values clamp to the 64-bit limits as strtoll does.
std::optional<std::int64_t> parseInteger(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && isCSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    unsigned base = 10;
    if (pos < text.size() && text[pos] == '0') {
        base = 8;
        // A bare "0x" fails either way: strtoll would stop after the "0", leaving the "x".
        if (pos + 1 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
            base = 16;
            pos += 2;
        }
    }
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63U
                                         : static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t magnitude = 0;
    bool clamped = false;
    const std::size_t firstDigit = pos;
    for (; pos < text.size(); ++pos) {
        const int digit = digitValue(text[pos]);
        if (digit >= static_cast<int>(base)) {
            break;
        }
        const auto d = static_cast<std::uint64_t>(digit);
        if (clamped || magnitude > (limit - d) / base) {
            clamped = true;
            continue;
        }
        magnitude = magnitude * base + d;
    }
    if (pos == firstDigit || pos != text.size()) {
        return std::nullopt;
    }
    if (clamped) {
        magnitude = limit;
    }
    if (negative) {
        return static_cast<std::int64_t>(std::uint64_t{0} - magnitude);
    }
    return static_cast<std::int64_t>(magnitude);
}

bool isIdentifier(std::string_view text) {
    if (text.empty() || isAsciiDigit(text.front())) {
        return false;
    }
    for (const char c : text) {
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '_') {
            return false;
        }
    }
    return true;
}

std::u16string widenAscii(std::string_view text) {
    std::u16string wide(text.size(), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    }
    return wide;
}

std::string narrowAscii(std::u16string_view text) {
    std::string narrow(text.size(), '?');
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] < 0x80) {
            narrow[i] = static_cast<char>(text[i]);
        }
    }
    return narrow;
}

}  // namespace

bool isReservedWord(std::string_view text) {
    return isIdentifier(text) && std::ranges::any_of(kFixedTokens, [text](const FixedToken& fixed) {
               return fixed.text == text;
           });
}

std::optional<Token> classifyToken(std::string_view text) {
    for (const FixedToken& fixed : kFixedTokens) {
        if (fixed.text == text) {
            return Token{fixed.kind, fixed.value, {}};
        }
    }
    if (const auto number = parseInteger(text)) {
        return Token{TokenKind::Number, *number, {}};
    }
    if (isIdentifier(text)) {
        return Token{TokenKind::Identifier, 0, widenAscii(text)};
    }
    return std::nullopt;
}

std::string tokenText(const Token& token) {
    if (token.kind == TokenKind::Number) {
        return std::to_string(token.value);
    }
    if (token.kind == TokenKind::Identifier) {
        return narrowAscii(token.name);
    }
    for (const FixedToken& fixed : kFixedTokens) {
        if (fixed.kind == token.kind && fixed.value == token.value) {
            return std::string(fixed.text);
        }
    }
    return {};
}

}  // namespace orvalix
