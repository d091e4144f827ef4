#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvalix {

// Blank, tab and ideographic space: the set the loaders trim with.
inline constexpr std::u16string_view kBlankCharacters = u" \t\u3000";

// Text between the first and the last character not in the set; unchanged when every
// character is in the set.
std::u16string trimText(std::u16string_view text, std::u16string_view set);

// Appends the pieces between separators; empty pieces stay.
void splitText(std::u16string_view text, std::u16string_view separator,
               std::vector<std::u16string>& pieces);

// Splits with double-quote grouping, the CSV reader's quote rules; an unterminated last
// quoted piece is not appended.
void splitQuoted(std::u16string_view text, std::u16string_view separator,
                 std::vector<std::u16string>& pieces);

}  // namespace orvalix
