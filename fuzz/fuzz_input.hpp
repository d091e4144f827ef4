#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvalix::fuzz {

// Separates the pieces of one input that several fuzzers cut up: the ASCII record separator,
// which no data file of ours holds.
inline constexpr char kPieceSeparator = '\x1E';

// Ends the run as a crash, with the broken rule on standard error, so that libFuzzer keeps
// the input.
void require(bool holds, const char* rule);

std::string_view asText(std::span<const std::uint8_t> bytes);

// The pieces between separators, empty ones kept; at most maxPieces, the last one keeping
// any further separators.
std::vector<std::string_view> splitPieces(std::string_view text, std::size_t maxPieces);

// Bytes as a data file's text would be decoded: UTF-16LE after its BOM, else UTF-8 after an
// optional BOM. Bytes that are no valid UTF-8 are widened one by one instead of rejected, so
// that every input reaches the parser.
std::u16string decodeLikeDataFile(std::string_view bytes);

}  // namespace orvalix::fuzz
