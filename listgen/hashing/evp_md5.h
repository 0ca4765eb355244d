#pragma once

#include "listgen/hashing/md5_value.h"

#include <cstddef>
#include <memory>

#include <openssl/types.h>

namespace listgen {

// One MD5 context through OpenSSL's EVP interface, set up once and reused for digest after
// digest. Only the constructor reports errors: MD5 cannot fail once it has been fetched.
class EvpMd5 {
public:
    EvpMd5();

    void begin();
    void update(const void* data, std::size_t size);
    Md5Value finish();

private:
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
