#pragma once

#include "listgen/common/run_values.h"
#include "listgen/hashing/evp_digest.h"

namespace listgen {

// The 64 lower-case hex digits manifests show.
Sha256Hex toHex(const Sha256Value& value);

} // namespace listgen
