#pragma once

#include "listgen/report/report_format.h"

#include <array>
#include <memory>

#include <openssl/types.h>

namespace listgen {

// The files a listing holds, by name and MD5 digest in walk order, boiled down to one SHA-256
// digest: a report and a manifest of the same files agree, whatever the report's title.
class ListingFingerprint {
public:
    using Value = std::array<unsigned char, 32>;

    // Throws std::runtime_error when OpenSSL has no SHA-256.
    ListingFingerprint();

    void add(const ReportRow& row);
    // The digest of every row added; adds nothing more afterwards.
    Value finish();

private:
    struct ContextFree {
        void operator()(EVP_MD_CTX* context) const noexcept;
    };
    std::unique_ptr<EVP_MD_CTX, ContextFree> context_;
};

} // namespace listgen
