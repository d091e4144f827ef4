#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

namespace orvalix::detail {

// Byte classes that decide where one token ends and the next begins. A byte may belong to
// no class at all (letters, digits, "_", "." and everything else).
inline constexpr std::uint8_t kParenClass = 1U << 0U;
inline constexpr std::uint8_t kBracketClass = 1U << 1U;
inline constexpr std::uint8_t kBlankClass = 1U << 2U;
inline constexpr std::uint8_t kCommaClass = 1U << 3U;
inline constexpr std::uint8_t kOperatorClass = 1U << 4U;
inline constexpr std::uint8_t kSignClass = 1U << 5U;
inline constexpr std::uint8_t kTildeClass = 1U << 6U;

constexpr std::array<std::uint8_t, 256> makeCharacterClasses() {
    std::array<std::uint8_t, 256> classes{};
    const auto mark = [&classes](char c, std::uint8_t cls) {
        classes[static_cast<unsigned char>(c)] = cls;
    };
    mark('(', kParenClass);
    mark(')', kParenClass);
    mark('[', kBracketClass);
    mark(']', kBracketClass);
    for (const char c : {' ', '\t', '\r', '\n', '\0'}) {
        mark(c, kBlankClass);
    }
    mark(',', kCommaClass);
    for (const char c : {'*', '/', '%', '>', '<', '=', '&', '|', '^', '!'}) {
        mark(c, kOperatorClass);
    }
    mark('+', kSignClass);
    mark('-', kSignClass);
    mark('~', kTildeClass);
    return classes;
}

inline constexpr std::array<std::uint8_t, 256> kCharacterClasses = makeCharacterClasses();

constexpr bool inClass(char c, std::uint8_t cls) {
    return (kCharacterClasses[static_cast<unsigned char>(c)] & cls) != 0;
}

constexpr bool isBlank(char c) { return inClass(c, kBlankClass); }

// Whether the token whose final character is last ends before c. Operator characters
// stick together, and a sign sticks to a following operator character or sign, so "<="
// is one token while "2*-3" splits into four.
constexpr bool endsTokenBefore(char last, char c) {
    if (inClass(last, kParenClass | kBracketClass | kCommaClass | kTildeClass) ||
        inClass(c, kParenClass | kBracketClass | kCommaClass | kTildeClass | kBlankClass)) {
        return true;
    }
    const bool lastOperator = inClass(last, kOperatorClass);
    const bool lastSign = inClass(last, kSignClass);
    const bool nextOperator = inClass(c, kOperatorClass);
    const bool nextSign = inClass(c, kSignClass);
    if (lastOperator && !nextOperator) {
        return true;
    }
    if (!lastOperator && nextOperator && !lastSign) {
        return true;
    }
    if (lastSign && !nextSign && !nextOperator) {
        return true;
    }
    return !lastSign && nextSign;
}

}  // namespace orvalix::detail
