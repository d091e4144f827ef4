#include "core/text/text_split.hpp"

#include "core/text/quote_rules.hpp"

#include <utility>

namespace orvalix {

std::u16string trimText(std::u16string_view text, std::u16string_view set) {
    const auto first = text.find_first_not_of(set);
    if (first == std::u16string_view::npos) {
        return std::u16string(text);
    }
    const auto last = text.find_last_not_of(set);
    return std::u16string(text.substr(first, last - first + 1));
}

void splitText(std::u16string_view text, std::u16string_view separator,
               std::vector<std::u16string>& pieces) {
    if (separator.empty()) {
        pieces.emplace_back(text);  // an empty separator would match everywhere
        return;
    }
    std::size_t position = 0;
    for (;;) {
        const auto found = text.find(separator, position);
        if (found == std::u16string_view::npos) {
            pieces.emplace_back(text.substr(position));
            return;
        }
        pieces.emplace_back(text.substr(position, found - position));
        position = found + separator.size();
    }
}

void splitQuoted(std::u16string_view text, std::u16string_view separator,
                 std::vector<std::u16string>& pieces) {
    detail::QuoteRules rules;
    std::u16string piece;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        switch (rules.next(c)) {
        case detail::QuoteRules::Action::Append:
            piece.push_back(c);
            break;
        case detail::QuoteRules::Action::Skip:
            break;
        case detail::QuoteRules::Action::Outside:
            // Only the current character is consumed, even for a longer separator.
            if (!separator.empty() && text.substr(i).starts_with(separator)) {
                pieces.push_back(std::move(piece));
                piece.clear();
                rules.cellEnded();
            } else {
                piece.push_back(c);
            }
            break;
        }
    }
    if (!rules.insideQuotes()) {
        pieces.push_back(std::move(piece));
    }
}

}  // namespace orvalix
