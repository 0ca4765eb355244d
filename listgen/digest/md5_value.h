#pragma once

#include "listgen/common/digest_text.h"

#include <array>
#include <cstdint>

namespace listgen {

// The 16 bytes of an MD5 digest, in the order OpenSSL gives them.
using Md5Value = std::array<unsigned char, 16>;

// A digest that came out of Md5Lanes, with the tag it was submitted under.
struct Md5Result {
    std::uint64_t tag;
    Md5Value value;
};

} // namespace listgen
