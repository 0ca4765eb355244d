#include "listgen/hashing/md5_value.h"

namespace listgen {

Md5Hex toHex(const Md5Value& value)
{
    static constexpr char kHexDigits[] = "0123456789abcdef";
    Md5Hex hex;
    for (std::size_t i = 0; i < value.size(); ++i) {
        hex[2 * i] = kHexDigits[value[i] >> 4];
        hex[2 * i + 1] = kHexDigits[value[i] & 0xF];
    }
    return hex;
}

} // namespace listgen
