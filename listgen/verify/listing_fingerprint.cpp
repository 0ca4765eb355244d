#include "listgen/verify/listing_fingerprint.h"

#include "listgen/common/digest_failure.h"

#include <openssl/evp.h>

namespace listgen {

void ListingFingerprint::ContextFree::operator()(EVP_MD_CTX* context) const noexcept
{
    EVP_MD_CTX_free(context);
}

ListingFingerprint::ListingFingerprint()
    : names_(EVP_MD_CTX_new())
    , digests_(EVP_MD_CTX_new())
{
    if (!names_ || !digests_ || EVP_DigestInit_ex2(names_.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestInit_ex2(digests_.get(), EVP_sha256(), nullptr) != 1)
        throwDigestSetUpFailure("SHA256");
}

void ListingFingerprint::add(const ReportRow& row)
{
    add(row.relName, row.digest, row.facts);
}

void ListingFingerprint::add(std::string_view relName, DigestKind kind, const FileFacts& facts)
{
    kind_ = kind;
    // A name holds no NUL, so the NUL after it keeps every row's fields apart.
    EVP_DigestUpdate(names_.get(), relName.data(), relName.size());
    EVP_DigestUpdate(names_.get(), "", 1);
    EVP_DigestUpdate(digests_.get(), relName.data(), relName.size());
    EVP_DigestUpdate(digests_.get(), "", 1);
    if (kind == DigestKind::Md5)
        EVP_DigestUpdate(digests_.get(), facts.md5.data(), facts.md5.size());
    else
        EVP_DigestUpdate(digests_.get(), facts.sha256.data(), facts.sha256.size());
}

ListingFingerprint::Value ListingFingerprint::finish()
{
    Value value;
    unsigned int length = 0;
    EVP_DigestFinal_ex(names_.get(), value.names.data(), &length);
    EVP_DigestFinal_ex(digests_.get(), value.digests.data(), &length);
    value.kind = kind_;
    return value;
}

} // namespace listgen
