#pragma once

#include "listgen/common/run_values.h"

#include <cstddef>
#include <memory>
#include <string_view>

#include <openssl/types.h>

namespace listgen {

// An MD5 context through OpenSSL's EVP interface, reusable for one digest after another.
class Md5Digest {
public:
    Md5Digest();

    void update(const void* data, std::size_t size);
    // Returns the digest and starts a new one.
    Md5Hex finish();

    static Md5Hex of(std::string_view data);

private:
    void restart();

    struct AlgorithmFree {
        void operator()(EVP_MD* algorithm) const noexcept;
    };
    struct ContextFree {
        void operator()(EVP_MD_CTX* context) const noexcept;
    };
    std::unique_ptr<EVP_MD, AlgorithmFree> algorithm_;
    std::unique_ptr<EVP_MD_CTX, ContextFree> context_;
};

} // namespace listgen
