#pragma once

#include <string>
#include <string_view>

namespace orvalix::cli {

// How check shows names that may hold what cannot be seen, and which names collide as files.

// C0 controls, DEL and C1 controls: nothing a user can see in a name.
bool isControl(char16_t c);

// "U+0000" for the NUL.
std::string codePoint(char16_t c);

// The text (UTF-8) in double quotes.
std::string inQuotes(std::u16string_view text);

// The text (UTF-8) in double quotes, each control character written as <U+XXXX>, so that a
// finding neither hides it nor prints it raw.
std::string visibleInQuotes(std::u16string_view text);

// The name as its log file is named (cleaned of what file systems refuse), with the ASCII
// letters in lower case: two names that give one key give log files of one name on a file
// system that ignores case.
std::u16string logFileKey(std::u16string_view name);

}  // namespace orvalix::cli
