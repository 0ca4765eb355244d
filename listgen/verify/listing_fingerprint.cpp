#include "listgen/verify/listing_fingerprint.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace listgen {

void ListingFingerprint::ContextFree::operator()(EVP_MD_CTX* context) const noexcept
{
    EVP_MD_CTX_free(context);
}

ListingFingerprint::ListingFingerprint()
    : context_(EVP_MD_CTX_new())
{
    if (!context_ || EVP_DigestInit_ex2(context_.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("cannot set up SHA-256: OpenSSL has no SHA-256 implementation");
}

void ListingFingerprint::add(const ReportRow& row)
{
    // A name holds no NUL, so the NUL after it keeps every row's fields apart.
    EVP_DigestUpdate(context_.get(), row.relName.data(), row.relName.size());
    EVP_DigestUpdate(context_.get(), "", 1);
    EVP_DigestUpdate(context_.get(), row.facts.md5.data(), row.facts.md5.size());
}

ListingFingerprint::Value ListingFingerprint::finish()
{
    Value value{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_.get(), value.data(), &length);
    return value;
}

} // namespace listgen
