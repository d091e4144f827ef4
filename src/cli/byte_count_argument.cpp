#include "cli/byte_count_argument.hpp"

#include <charconv>
#include <limits>
#include <system_error>

namespace orvalix::cli {

std::optional<std::uint64_t> parseByteCount(std::string_view text) {
    // K, M and G stand for the first three powers of 1024: a shift by 10, 20 or 30 bits.
    constexpr std::string_view kUnits = "KkMmGg";
    const std::size_t unit = text.empty() ? std::string_view::npos : kUnits.find(text.back());
    const unsigned shift = unit == std::string_view::npos ? 0 : 10 * static_cast<unsigned>(unit / 2 + 1);
    const std::string_view digits = shift == 0 ? text : text.substr(0, text.size() - 1);
    // from_chars would take a leading minus sign; only digits are a count.
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    std::uint64_t count = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (error != std::errc{} || end != digits.data() + digits.size() || count == 0 ||
        count > (std::numeric_limits<std::uint64_t>::max() >> shift)) {
        return std::nullopt;
    }
    return count << shift;
}

}  // namespace orvalix::cli
