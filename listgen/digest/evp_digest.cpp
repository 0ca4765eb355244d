#include "listgen/digest/evp_digest.h"

#include "listgen/common/digest_failure.h"

#include <openssl/evp.h>

namespace listgen {

void EvpDigest::AlgorithmFree::operator()(EVP_MD* algorithm) const noexcept
{
    EVP_MD_free(algorithm);
}

void EvpDigest::ContextFree::operator()(EVP_MD_CTX* context) const noexcept
{
    EVP_MD_CTX_free(context);
}

EvpDigest::EvpDigest(const char* algorithm)
    : algorithm_(EVP_MD_fetch(nullptr, algorithm, nullptr))
    , context_(EVP_MD_CTX_new())
{
    if (!algorithm_ || !context_ || EVP_DigestInit_ex2(context_.get(), algorithm_.get(), nullptr) != 1)
        throwDigestSetUpFailure(algorithm);
}

void EvpDigest::begin()
{
    EVP_DigestInit_ex2(context_.get(), algorithm_.get(), nullptr);
}

void EvpDigest::update(const void* data, std::size_t size)
{
    EVP_DigestUpdate(context_.get(), data, size);
}

void EvpDigest::finish(unsigned char* out)
{
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_.get(), out, &length);
}

} // namespace listgen
