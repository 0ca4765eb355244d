#include "listgen/report/report_stylesheet.h"
#include "listgen/common/system_error.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(ReportStylesheet, WrittenOutIsTheShippedFile)
{
    TempFolder folder;
    writeFile(folder / "report.css", "an older stylesheet");
    listgen::writeReportStylesheet(folder / "report.css");
    const std::string shipped = readFile(std::string(VASKEREL_SOURCE_DIR) + "/data/report.css");
    EXPECT_EQ(readFile(folder / "report.css"), shipped);
    EXPECT_EQ(namesIn(folder.path().string()), "report.css\n");
}

TEST(ReportStylesheet, FolderThatIsMissingIsNamedInTheFailure)
{
    TempFolder folder;
    try {
        listgen::writeReportStylesheet(folder / "missing/report.css");
        FAIL() << "written into a missing folder";
    } catch (const listgen::SystemError& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        EXPECT_EQ(error.failure().path, folder / "missing/report.css");
    }
}
