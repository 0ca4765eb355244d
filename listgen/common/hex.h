#pragma once

#include <string>

namespace listgen {

enum class HexCase { Lower, Upper };

// The digit for a value below 16.
char hexDigit(unsigned value, HexCase letters) noexcept;
// Writes the two digits of `byte` at `out` and returns the place after them.
char* writeHexByte(char* out, unsigned char byte, HexCase letters) noexcept;
void appendHexByte(std::string& out, unsigned char byte, HexCase letters);

// The value of one hex digit of the given case, or -1.
int hexDigitValue(char digit, HexCase letters) noexcept;

} // namespace listgen
