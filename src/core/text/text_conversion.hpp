#pragma once

#include <string>
#include <string_view>

namespace orvalix {

// UTF-8 to UTF-16. Malformed input gives an empty result.
std::u16string toWide(std::string_view narrow);

// UTF-16 to UTF-8, ending at the first NUL. Unpaired surrogates give an empty result.
std::string toNarrow(std::u16string_view wide);

}  // namespace orvalix
