#include "listgen/common/hex.h"

namespace listgen {

char hexDigit(unsigned value, HexCase letters) noexcept
{
    return (letters == HexCase::Lower ? "0123456789abcdef" : "0123456789ABCDEF")[value & 0xF];
}

char* writeHexByte(char* out, unsigned char byte, HexCase letters) noexcept
{
    *out++ = hexDigit(byte >> 4, letters);
    *out++ = hexDigit(byte & 0xF, letters);
    return out;
}

void appendHexByte(std::string& out, unsigned char byte, HexCase letters)
{
    char digits[2];
    writeHexByte(digits, byte, letters);
    out.append(digits, 2);
}

int hexDigitValue(char digit, HexCase letters) noexcept
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    const char first = letters == HexCase::Lower ? 'a' : 'A';
    if (digit >= first && digit <= first + 5)
        return digit - first + 10;
    return -1;
}

} // namespace listgen
