#include "listgen/md5_digest.h"

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

Md5Digest::Hex Md5Digest::finish()
{
    static constexpr char kHexDigits[] = "0123456789abcdef";
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_.get(), value, &length) != 1 || length * 2 != kHexLength)
        throw std::runtime_error("cannot finish an MD5 digest");
    Hex hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex[2 * i] = kHexDigits[value[i] >> 4];
        hex[2 * i + 1] = kHexDigits[value[i] & 0xF];
    }
    restart();
    return hex;
}

Md5Digest::Hex Md5Digest::of(std::string_view data)
{
    Md5Digest digest;
    digest.update(data.data(), data.size());
    return digest.finish();
}

} // namespace listgen
