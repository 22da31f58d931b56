#pragma once

#include <QString>
#include <cstdint>

// Numbers in upper-case hexadecimal as the program's messages and diagnostic lines show them.
class HexText {
public:
    // At least four digits, zero-filled: 0x2A -> "002A". The value is taken as unsigned 32-bit.
    static QString zeroFilled(uint32_t value);
    // "0x" and the digits right-aligned in four characters with blanks: 0x2A -> "0x  2A".
    static QString blankFilled(int64_t value);
    // The value of one hexadecimal digit of either case; -1 for any other character.
    static int digitValue(QChar c);
};
