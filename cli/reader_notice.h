#pragma once

#include <ostream>
#include <system_error>

namespace vaskerel {

// One line on `errors` when the run read file by file because io_uring could not be used.
void reportReaderFallback(std::error_code reason, std::ostream& errors);

} // namespace vaskerel
