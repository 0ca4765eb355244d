#include "listgen/hashing/evp_md5.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace listgen {

void EvpMd5::AlgorithmFree::operator()(EVP_MD* algorithm) const noexcept
{
    EVP_MD_free(algorithm);
}

void EvpMd5::ContextFree::operator()(EVP_MD_CTX* context) const noexcept
{
    EVP_MD_CTX_free(context);
}

EvpMd5::EvpMd5()
    : algorithm_(EVP_MD_fetch(nullptr, "MD5", nullptr))
    , context_(EVP_MD_CTX_new())
{
    if (!algorithm_ || !context_ || EVP_DigestInit_ex2(context_.get(), algorithm_.get(), nullptr) != 1)
        throw std::runtime_error("cannot set up MD5: OpenSSL has no MD5 implementation");
}

void EvpMd5::begin()
{
    EVP_DigestInit_ex2(context_.get(), algorithm_.get(), nullptr);
}

void EvpMd5::update(const void* data, std::size_t size)
{
    EVP_DigestUpdate(context_.get(), data, size);
}

Md5Value EvpMd5::finish()
{
    Md5Value value{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_.get(), value.data(), &length);
    return value;
}

} // namespace listgen
