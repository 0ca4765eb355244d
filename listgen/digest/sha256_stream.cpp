// OpenSSL's low-level SHA-256 interface is deprecated since 3.0 but still built by Debian; its
// context is the only one whose state is open to read and set, and it runs the same assembly.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "listgen/digest/sha256_stream.h"

#include <algorithm>
#include <cstring>

namespace listgen {

void Sha256Stream::begin()
{
    SHA256_Init(&context_);
}

void Sha256Stream::begin(const Sha256State& from)
{
    SHA256_Init(&context_);
    std::copy(std::begin(from.words), std::end(from.words), context_.h);
    const std::uint64_t bits = from.length * 8;
    context_.Nl = static_cast<SHA_LONG>(bits);
    context_.Nh = static_cast<SHA_LONG>(bits >> 32);
    context_.num = static_cast<unsigned>(from.length % 64);
    std::memcpy(context_.data, from.partial, context_.num);
}

void Sha256Stream::update(const void* data, std::size_t size)
{
    SHA256_Update(&context_, data, size);
}

Sha256State Sha256Stream::state() const
{
    Sha256State state;
    std::copy(std::begin(context_.h), std::end(context_.h), state.words);
    state.length = ((std::uint64_t{context_.Nh} << 32) | context_.Nl) / 8;
    std::memcpy(state.partial, context_.data, context_.num);
    return state;
}

Sha256Value Sha256Stream::finish()
{
    Sha256Value value{};
    SHA256_Final(value.data(), &context_);
    return value;
}

} // namespace listgen
