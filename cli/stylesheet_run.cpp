#include "cli/stylesheet_run.h"

#include "cli/batch_run.h"
#include "cli/failure_text.h"
#include "listgen/common/system_error.h"
#include "listgen/report/report_stylesheet.h"

namespace vaskerel {

int runWriteStylesheet(const std::string& path, std::ostream& errors)
{
    try {
        listgen::writeReportStylesheet(path);
        return kExitComplete;
    } catch (const listgen::SystemError& error) {
        errors << "vaskerel: " << failureText(error.failure()) << '\n';
        return kExitNotWritten;
    }
}

} // namespace vaskerel
