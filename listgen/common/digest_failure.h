#pragma once

#include "listgen/common/system_error.h"

#include <openssl/err.h>

#include <cerrno>

namespace listgen {

// OpenSSL could not set up `algorithm` ("MD5", "SHA-256"): most often for want of memory
// under the limits in force, which it reports as such; otherwise it has no implementation.
[[noreturn]] inline void throwDigestSetUpFailure(const char* algorithm)
{
    const bool noMemory = ERR_GET_REASON(ERR_peek_last_error()) == ERR_R_MALLOC_FAILURE || errno == ENOMEM;
    ERR_clear_error();
    throw SystemError(RunAction::SetUpDigest, algorithm,
                      noMemory ? systemCode(ENOMEM) : make_error_code(RunError::NoDigestImplementation));
}

} // namespace listgen
