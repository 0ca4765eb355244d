#include "listgen/hashing/digest_hex.h"

#include "listgen/common/hex.h"

namespace listgen {

Sha256Hex toHex(const Sha256Value& value)
{
    Sha256Hex hex;
    char* out = hex.data();
    for (const unsigned char byte : value)
        out = writeHexByte(out, byte, HexCase::Lower);
    return hex;
}

} // namespace listgen
