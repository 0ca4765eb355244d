#include "cli/reader_notice.h"

namespace vaskerel {

void reportReaderFallback(std::error_code reason, std::ostream& errors)
{
    if (reason)
        errors << "vaskerel: cannot read through io_uring (" << reason.message() << "); read file by file instead\n";
}

} // namespace vaskerel
