#pragma once

#include "listgen/report/report_format.h"

#include <array>
#include <memory>

#include <openssl/types.h>

namespace listgen {

// The files a listing holds, boiled down to two SHA-256 digests: one of their names in walk
// order, and one of their names with their digests of one kind. A report and a manifest of the
// same files agree, whatever the report's title or sizes.
class ListingFingerprint {
public:
    using Digest = std::array<unsigned char, 32>;
    struct Value {
        Digest names{};
        Digest digests{};
        DigestKind kind = DigestKind::Md5;
        friend bool operator==(const Value&, const Value&) = default;
    };

    // Throws SystemError when OpenSSL cannot set up SHA-256.
    ListingFingerprint();

    // A row with its own digest.
    void add(const ReportRow& row);
    // A name with the digest of the given kind that `facts` hold.
    void add(std::string_view relName, DigestKind kind, const FileFacts& facts);
    // The digests of every row added; adds nothing more afterwards.
    Value finish();

private:
    struct ContextFree {
        void operator()(EVP_MD_CTX* context) const noexcept;
    };
    std::unique_ptr<EVP_MD_CTX, ContextFree> names_;
    std::unique_ptr<EVP_MD_CTX, ContextFree> digests_;
    DigestKind kind_ = DigestKind::Md5;
};

} // namespace listgen
