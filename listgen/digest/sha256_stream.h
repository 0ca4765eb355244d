#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <openssl/sha.h>

namespace listgen {

using Sha256Value = std::array<unsigned char, 32>;

// Where a SHA-256 has got to, so that it can go on elsewhere.
struct Sha256State {
    std::uint32_t words[8] = {};
    // Bytes hashed so far, those of `partial` included.
    std::uint64_t length = 0;
    // The last length % 64 bytes, which do not make a whole block yet.
    unsigned char partial[64] = {};
};

// SHA-256 through OpenSSL's block function, whose state can be taken out and put back. Needs
// no set-up that could fail, and nothing it does fails.
class Sha256Stream {
public:
    Sha256Stream() { begin(); }

    void begin();
    void begin(const Sha256State& from);
    void update(const void* data, std::size_t size);
    Sha256State state() const;
    Sha256Value finish();

private:
    SHA256_CTX context_;
};

} // namespace listgen
