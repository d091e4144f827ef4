#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvalix::gui_probe {

// A JSON document built as UTF-8 text; the caller writes objects and arrays in order.
class JsonOutput {
public:
    void beginObject() { separate(); text_ += '{'; fresh_ = true; }
    void endObject() { text_ += '}'; fresh_ = false; }
    void beginArray() { separate(); text_ += '['; fresh_ = true; }
    void endArray() { text_ += ']'; fresh_ = false; }

    void key(std::string_view name);
    void value(std::wstring_view text);
    void value(std::int64_t number);

    template <typename Value>
    void field(std::string_view name, const Value& v) {
        key(name);
        value(v);
    }

    const std::string& text() const { return text_; }

private:
    void separate();

    std::string text_;
    bool fresh_ = true;   // no element yet in the current object or array
    bool afterKey_ = false;
};

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string toUtf8(std::wstring_view text);

}  // namespace orvalix::gui_probe
