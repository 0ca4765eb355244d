#include "cli/option_table.h"
#include "cli/run_command_line.h"

#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

using namespace testing_support;

namespace fs = std::filesystem;

namespace {

// Runs the command line in a child that starts in `folder`; its output is the folder the
// window was opened on, in brackets, or "not opened".
ChildResult folderOpenedFrom(const std::string& folder, const std::vector<std::string>& arguments)
{
    return runInChild([&] {
        if (::chdir(folder.c_str()) != 0)
            return std::string("chdir failed");
        std::string opened = "not opened";
        const int status = vaskerel::runCommandLine(arguments, [&](const std::string& inputFolder) {
            opened = "[" + inputFolder + "]";
            return 0;
        });
        return opened + " " + std::to_string(status);
    });
}

} // namespace

TEST(RunCommandLine, FolderAloneOpensTheWindowOnItsAbsolutePath)
{
    TempFolder temp;
    const std::string base = fs::canonical(temp.path()).string();
    fs::create_directories(base + "/photos/2026");
    const std::string photos = "[" + base + "/photos] 0";
    EXPECT_EQ(folderOpenedFrom(base, {"photos"}).output, photos);
    EXPECT_EQ(folderOpenedFrom(base, {"./photos/."}).output, photos);
    EXPECT_EQ(folderOpenedFrom(base + "/photos/2026", {".."}).output, photos);
    EXPECT_EQ(folderOpenedFrom(base + "/photos/2026", {"../../photos/"}).output, photos);
    // After a name, ".." is left to the system: the name may be a link elsewhere.
    EXPECT_EQ(folderOpenedFrom(base, {"photos/2026/.."}).output, "[" + base + "/photos/2026/..] 0");
    EXPECT_EQ(folderOpenedFrom(base, {base + "/photos/"}).output, photos);
    EXPECT_EQ(folderOpenedFrom(base, {"/"}).output, "[/] 0");
}

TEST(RunCommandLine, ArgumentThatIsNotAFolderIsAUsageError)
{
    TempFolder temp;
    writeFile(temp / "report.htm", "");
    for (const char* argument : {"report.htm", "missing"}) {
        const ChildResult result = folderOpenedFrom(temp.path().string(), {argument});
        EXPECT_EQ(result.output, "not opened 2");
        EXPECT_EQ(result.errors, "vaskerel: " + std::string(argument) + " is not a folder\n" + vaskerel::tryHelpText());
    }
}
