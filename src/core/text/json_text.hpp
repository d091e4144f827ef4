#pragma once

#include <string>
#include <string_view>

namespace orvalix {

// Appends text as a JSON string, quotes included. The text is UTF-8; control characters
// become \uXXXX (or their short escapes) and bytes that are not valid UTF-8 become U+FFFD, so
// whatever a data folder holds, the output stays a document every JSON reader accepts.
void appendJsonString(std::string& out, std::string_view utf8);

// The same, as a new string.
std::string jsonString(std::string_view utf8);

}  // namespace orvalix
