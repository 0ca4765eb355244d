#include "listgen/hashing/md5_digest.h"

#include "listgen/common/hex.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace listgen {

void Md5Digest::AlgorithmFree::operator()(EVP_MD* algorithm) const noexcept
{
    EVP_MD_free(algorithm);
}

void Md5Digest::ContextFree::operator()(EVP_MD_CTX* context) const noexcept
{
    EVP_MD_CTX_free(context);
}

Md5Digest::Md5Digest()
    // Fetched once so that a digest per small file does not repeat the provider lookup.
    : algorithm_(EVP_MD_fetch(nullptr, "MD5", nullptr))
    , context_(EVP_MD_CTX_new())
{
    if (!algorithm_ || !context_)
        throw std::runtime_error("cannot set up MD5: OpenSSL has no MD5 implementation");
    restart();
}

void Md5Digest::restart()
{
    if (EVP_DigestInit_ex2(context_.get(), algorithm_.get(), nullptr) != 1)
        throw std::runtime_error("cannot start an MD5 digest");
}

void Md5Digest::update(const void* data, std::size_t size)
{
    if (EVP_DigestUpdate(context_.get(), data, size) != 1)
        throw std::runtime_error("cannot update an MD5 digest");
}

Md5Hex Md5Digest::finish()
{
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_.get(), value, &length) != 1 || length * 2 != kMd5HexLength)
        throw std::runtime_error("cannot finish an MD5 digest");
    Md5Hex hex;
    char* out = hex.data();
    for (unsigned int i = 0; i < length; ++i)
        out = writeHexByte(out, value[i], HexCase::Lower);
    restart();
    return hex;
}

Md5Hex Md5Digest::of(std::string_view data)
{
    Md5Digest digest;
    digest.update(data.data(), data.size());
    return digest.finish();
}

} // namespace listgen
