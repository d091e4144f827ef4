#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/argument_read.hpp"

namespace orvalix::cli {

// A named byte buffer given as NAME=HEX on the command line.
struct NamedBytesArgument {
    std::u16string name;
    std::vector<std::uint8_t> bytes;
};

// Parses NAME=HEX (two hexadecimal digits per byte; blanks between bytes are allowed).
ArgumentRead<NamedBytesArgument> parseNamedBytesArgument(std::string_view text);

}  // namespace orvalix::cli

#include "core/expression/evaluation_context.hpp"

namespace orvalix::cli {

// Parses every NAME=HEX text; a later buffer of the same name replaces an earlier one.
ArgumentRead<std::vector<NamedBytesArgument>> parseNamedBytesArguments(const std::vector<std::string>& texts);

// Registers the buffers by name; they must outlive the table's use.
void registerNamedBytes(const std::vector<NamedBytesArgument>& buffers, NamesTable& names);

}  // namespace orvalix::cli
