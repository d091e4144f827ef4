#pragma once

#include <cstddef>

namespace orvalix::detail {

// The double-quote rules that the CSV reader and splitQuoted share. Feed characters in
// order; each call says whether the character joins the cell, is dropped, or - outside any
// quoted section - is left to the caller, who ends the cell on a separator.
class QuoteRules {
public:
    enum class Action { Append, Skip, Outside };

    Action next(char16_t c) {
        const bool isQuote = c == u'"';
        const bool previousIsQuote = previousIsQuote_;
        previousIsQuote_ = isQuote;
        if (isQuote) {
            ++quoteCount_;
        }
        if (previousIsQuote && isQuote) {
            // Odd: a doubled quote inside a quoted section stands for one quote.
            return quoteCount_ % 2 == 1 ? Action::Append : Action::Skip;
        }
        if (previousIsQuote) {
            if (quoteCount_ % 2 == 1) {
                return Action::Append;
            }
            quoteCount_ = 0;  // the quoted section has just closed
            return Action::Outside;
        }
        if (isQuote) {
            return Action::Skip;
        }
        return quoteCount_ >= 1 ? Action::Append : Action::Outside;
    }

    // The caller ended the cell at an Outside character.
    void cellEnded() { quoteCount_ = 0; }

    // An odd count means a quoted section is still open.
    bool insideQuotes() const { return quoteCount_ % 2 == 1; }

private:
    std::size_t quoteCount_ = 0;
    bool previousIsQuote_ = false;
};

}  // namespace orvalix::detail
