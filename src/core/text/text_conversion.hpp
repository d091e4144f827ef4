#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvalix {

// UTF-8 to UTF-16. Malformed input (bad or truncated sequences, overlong forms, encoded
// surrogates, values above U+10FFFF) gives an empty result.
std::u16string toWide(std::string_view narrow);

// UTF-16 to UTF-8, ending at the first NUL. Unpaired surrogates give an empty result.
std::string toNarrow(std::u16string_view wide);

// Appends the UTF-16 form of narrow to wide. Returns the byte offset of the first malformed
// sequence (wide then holds what came before it), or npos when all of it decoded.
std::size_t appendUtf8AsUtf16(std::string_view narrow, std::u16string& wide);

}  // namespace orvalix
