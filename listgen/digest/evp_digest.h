#pragma once

#include "listgen/digest/md5_value.h"

#include <cstddef>
#include <memory>

#include <openssl/types.h>

namespace listgen {

// One digest context of OpenSSL's EVP interface, set up once and reused for digest after
// digest. Only the constructor reports errors: a digest cannot fail once it has been fetched.
class EvpDigest {
public:
    // `algorithm` as OpenSSL names it ("MD5", "SHA256"); throws SystemError when OpenSSL
    // cannot set it up.
    explicit EvpDigest(const char* algorithm);

    void begin();
    void update(const void* data, std::size_t size);
    // Writes the digest's bytes to `out`, as many as the algorithm has.
    void finish(unsigned char* out);

protected:
    template <class Value>
    Value finishAs()
    {
        Value value{};
        finish(value.data());
        return value;
    }

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

class EvpMd5 : public EvpDigest {
public:
    EvpMd5() : EvpDigest("MD5") {}
    Md5Value finish() { return finishAs<Md5Value>(); }
};

} // namespace listgen
