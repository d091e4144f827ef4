#include "json_output.hpp"

#include <windows.h>

#include <cstdio>

namespace orvalix::gui_probe {

std::string toUtf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, result.data(), size, nullptr, nullptr);
    return result;
}

void JsonOutput::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!fresh_) {
        text_ += ',';
    }
    fresh_ = false;
}

void JsonOutput::key(std::string_view name) {
    separate();
    text_ += '"';
    text_ += name;
    text_ += "\":";
    afterKey_ = true;
}

void JsonOutput::value(std::wstring_view text) {
    separate();
    text_ += '"';
    for (const char c : toUtf8(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text_ += '\\';
            text_ += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            text_ += escaped;
        } else {
            text_ += c;
        }
    }
    text_ += '"';
}

void JsonOutput::value(std::int64_t number) {
    separate();
    text_ += std::to_string(number);
}

}  // namespace orvalix::gui_probe
