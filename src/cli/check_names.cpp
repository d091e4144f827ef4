#include "cli/check_names.hpp"

#include "core/text/text_conversion.hpp"
#include "core/traffic/log_files.hpp"

namespace orvalix::cli {

bool isControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::string codePoint(char16_t c) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string text = "U+";
    for (int shift = 12; shift >= 0; shift -= 4) {
        text += kHex[(c >> shift) & 0xF];
    }
    return text;
}

std::string inQuotes(std::u16string_view text) { return "\"" + toNarrow(text) + "\""; }

std::string visibleInQuotes(std::u16string_view text) {
    std::string result = "\"";
    std::u16string run;
    for (const char16_t c : text) {
        if (isControl(c)) {
            result += toNarrow(run) + "<" + codePoint(c) + ">";
            run.clear();
        } else {
            run.push_back(c);
        }
    }
    return result + toNarrow(run) + "\"";
}

std::u16string logFileKey(std::u16string_view name) {
    std::u16string key = safeFileName(name);
    for (char16_t& c : key) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return key;
}

}  // namespace orvalix::cli
