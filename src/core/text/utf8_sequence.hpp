#pragma once

#include <cstddef>
#include <string_view>

namespace orvalix {

// The length of the valid UTF-8 sequence that text (not empty) starts with, or 0 when it does
// not start with one: overlong forms, surrogates and code points above U+10FFFF are not valid.
std::size_t utf8SequenceLength(std::string_view text);

// What a writer puts in place of a byte that starts no valid sequence.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

}  // namespace orvalix
