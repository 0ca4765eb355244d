#include "cli/reader_notice.h"

#include "cli/failure_text.h"

namespace vaskerel {

void reportReaderFallback(std::error_code reason, std::ostream& errors)
{
    if (reason)
        errors << "vaskerel: cannot read through io_uring (" << reasonText(reason) << "); read file by file instead\n";
}

} // namespace vaskerel
