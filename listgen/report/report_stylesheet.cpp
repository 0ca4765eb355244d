#include "listgen/report/report_stylesheet.h"

#include "listgen/report/report_file.h"

namespace listgen {

void writeReportStylesheet(const std::string& path)
{
    ReportFile file(path);
    file.append(reportStylesheet());
    file.commit();
}

} // namespace listgen
