#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace orvalix {

// The cells of one sequence or named-condition row exactly as read (untrimmed), kept one after
// another in a single text: a large folder holds hundreds of thousands of rows for as long as it
// is open, and a string per cell costs several times what the cells hold.
class RecordCells {
public:
    RecordCells() = default;
    RecordCells(std::initializer_list<std::u16string_view> cells) { assign(cells.begin(), cells.end()); }
    explicit RecordCells(const std::vector<std::u16string>& cells) { assign(cells.begin(), cells.end()); }

    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    // Cell i, which must exist.
    std::u16string_view operator[](std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::u16string_view(text_).substr(begin, ends_[i] - begin);
    }
    std::u16string_view front() const { return (*this)[0]; }

    friend bool operator==(const RecordCells&, const RecordCells&) = default;

private:
    template <typename Iterator>
    void assign(Iterator first, Iterator last) {
        std::size_t length = 0;
        for (Iterator cell = first; cell != last; ++cell) {
            length += std::u16string_view(*cell).size();
        }
        text_.reserve(length);
        ends_.reserve(static_cast<std::size_t>(last - first));
        for (Iterator cell = first; cell != last; ++cell) {
            text_.append(std::u16string_view(*cell));
            ends_.push_back(static_cast<std::uint32_t>(text_.size()));
        }
    }

    std::u16string text_;
    std::vector<std::uint32_t> ends_;  // where each cell ends in text_
};

}  // namespace orvalix
