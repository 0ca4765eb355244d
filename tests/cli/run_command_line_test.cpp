#include "cli/option_table.h"
#include "cli/run_command_line.h"

#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <tuple>

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

// A folder alone opens the window on its absolute path; after a name, ".." is left to the
// system, since the name may be a link elsewhere. Anything else alone is a usage error.
TEST(RunCommandLine, FolderAloneOpensTheWindowOnItsAbsolutePath)
{
    TempFolder temp;
    const std::string base = fs::canonical(temp.path()).string();
    fs::create_directories(base + "/photos/2026");
    writeFile(base + "/report.htm", "");
    const std::string photos = "[" + base + "/photos] 0";
    const std::string deeper = base + "/photos/2026";
    for (const auto& [from, argument, opened] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {base, "photos", photos}, {base, "./photos/.", photos}, {deeper, "..", photos}, {deeper, "../../photos/", photos},
             {base, "photos/2026/..", "[" + base + "/photos/2026/..] 0"}, {base, base + "/photos/", photos},
             {base, "/", "[/] 0"}, {base, "report.htm", "not opened 2"}, {base, "missing", "not opened 2"}}) {
        const ChildResult result = folderOpenedFrom(from, {argument});
        EXPECT_EQ(result.output, opened) << argument;
        EXPECT_EQ(result.errors, opened.starts_with("not")
                                     ? "vaskerel: " + argument + " is not a folder\n" + vaskerel::tryHelpText()
                                     : "");
    }
}
