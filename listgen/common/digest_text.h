#pragma once

#include "listgen/common/hex.h"

#include <array>
#include <cstddef>

namespace listgen {

inline constexpr std::size_t kMd5HexLength = 32;
// An MD5 digest as 32 lower-case hex digits.
using Md5Hex = std::array<char, kMd5HexLength>;
inline constexpr std::size_t kSha256HexLength = 64;
// A SHA-256 digest as 64 lower-case hex digits.
using Sha256Hex = std::array<char, kSha256HexLength>;

// The digests a listing may hold: MD5 in reports and md5sum manifests, SHA-256 in sha256sum ones.
enum class DigestKind { Md5, Sha256 };

// A digest's bytes as the lower-case hex digits that listings show.
template <std::size_t N>
std::array<char, 2 * N> toHex(const std::array<unsigned char, N>& bytes) noexcept
{
    std::array<char, 2 * N> hex;
    char* out = hex.data();
    for (const unsigned char byte : bytes)
        out = writeHexByte(out, byte, HexCase::Lower);
    return hex;
}

} // namespace listgen
