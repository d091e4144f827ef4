#pragma once

#include <cstdint>

#include "core/expression/compiled_expression.hpp"

namespace orvalix {

// Codes of the byte-order functions, carried in their token's value.
enum class FieldByteOrder : std::int32_t {
    Le16 = 0,
    Be16 = 1,
    Le32 = 2,
    Be32 = 3,
};

// How a frame row's value becomes bytes: its outermost operation decides.
struct FieldLayout {
    int width = 1;            // bytes filled; the rows after the first are placeholders
    bool highFirst = false;   // byte order; low byte first unless a BE function says otherwise
    bool copies = false;      // COPY: the bytes it reads, as many as they are, and no placeholders
    bool widthUnknown = false;  // a generic CRC whose width is not a constant: one byte

    friend bool operator==(const FieldLayout&, const FieldLayout&) = default;
};

FieldLayout fieldLayout(const CompiledExpression& expression);

// The value a byte-order function gives inside an expression: masked to its width.
std::int64_t applyByteOrder(std::int64_t code, std::int64_t value);

}  // namespace orvalix
