#include "listgen/hashing/md5_digest.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using listgen::Md5Digest;

namespace {

// RFC 1321, appendix A.5.
const std::vector<std::pair<std::string, std::string>> kRfc1321Vectors = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

std::string text(const listgen::Md5Hex& hex)
{
    return std::string(hex.data(), hex.size());
}

} // namespace

TEST(Md5Digest, MatchesRfc1321Vectors)
{
    for (const auto& [message, expected] : kRfc1321Vectors)
        EXPECT_EQ(text(Md5Digest::of(message)), expected) << '"' << message << '"';
}

TEST(Md5Digest, StartsAfreshAfterEachFinish)
{
    Md5Digest digest;
    digest.update("garbage", 7);
    digest.finish();
    digest.update("abc", 3);
    EXPECT_EQ(text(digest.finish()), "900150983cd24fb0d6963f7d28e17f72");
}
