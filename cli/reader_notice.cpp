#include "cli/reader_notice.h"

#include "cli/failure_text.h"
#include "cli/localized.h"

namespace vaskerel {

void reportReaderFallback(std::error_code reason, std::ostream& errors)
{
    if (reason)
        errors << "vaskerel: " << tr("cannot read through io_uring") << " (" << reasonText(reason) << "); "
               << tr("read file by file instead") << '\n';
}

void reportPassedBy(const std::vector<std::string>& unusedExcludes, const std::vector<std::string>& otherFileSystems,
                    bool quiet, std::ostream& errors)
{
    for (const std::string& pattern : unusedExcludes)
        errors << "vaskerel: --exclude " << shown(pattern) << ' ' << tr("matched nothing") << '\n';
    if (quiet)
        return;
    for (const std::string& folder : otherFileSystems)
        errors << "vaskerel: " << tr("not entered") << ' ' << shown(folder) << ": " << tr("another file system")
               << '\n';
}

} // namespace vaskerel
