#pragma once

#include <cstdint>
#include <string>

namespace orvalix {

// Kind numbers are fixed: the grammar's rule table is written in them.
enum class TokenKind : std::int32_t {
    Invalid = -1,
    Number = 1,
    Expression = 2,
    LeftParen = 11,
    RightParen = 12,
    LeftBracket = 13,
    RightBracket = 14,
    Comma = 15,
    BinaryOperator = 21,
    AdditiveOperator = 22,
    ComplementOperator = 23,
    Identifier = 35,
    TimeKeyword = 41,
    SinceLastRxKeyword = 42,
    SinceLastTxKeyword = 43,
    FunctionCrcCcitt1 = 10002,
    FunctionSum = 10003,
    FunctionBcc = 10004,
    FunctionBcc2 = 10005,
    FunctionCrc = 10006,        // the generic model
    FunctionCrcPreset = 10007,  // value: the CrcPreset
    FunctionByteOrder = 10008,  // value: the FieldByteOrder code
    FunctionLength = 10009,
    FunctionCopy = 10010,
};

// Operator codes carried in the value of operator tokens; the evaluator indexes by them.
enum class OperatorCode : std::int64_t {
    Add = 0,
    Subtract = 1,
    Multiply = 2,
    Divide = 3,
    Remainder = 4,
    Greater = 5,
    Less = 6,
    GreaterEqual = 7,
    LessEqual = 8,
    BitAnd = 9,
    BitOr = 10,
    Complement = 11,
    BitXor = 12,
    ShiftLeft = 13,
    ShiftRight = 14,
    Equal = 15,
    NotEqual = 16,
};

struct Token {
    TokenKind kind = TokenKind::Invalid;
    // Number literal value, operator code or keyword sub-code; 0 otherwise.
    std::int64_t value = 0;
    // Identifier text; empty for every other kind.
    std::u16string name;

    friend bool operator==(const Token&, const Token&) = default;
};

}  // namespace orvalix
