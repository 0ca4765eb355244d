#include "listgen/generate_list.h"
#include "listgen/verify_tree.h"

#include "listgen/digest/md5_lanes.h"
#include "listgen/report/report_file.h"
#include "listgen/report/report_format.h"
#include "listgen/walk/list_folder.h"

#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

using listgen::Difference;
using listgen::VerifyOutcome;
using listgen::VerifyRequest;
using namespace testing_support;

namespace fs = std::filesystem;

namespace {

const std::atomic<bool> kGoOn{false};

std::string differencesText(const VerifyOutcome& outcome)
{
    std::string text;
    for (const Difference& difference : outcome.differences) {
        text += difference.kind == Difference::Kind::Changed   ? "changed "
                : difference.kind == Difference::Kind::Missing ? "missing "
                                                               : "new ";
        text += difference.relName + "\n";
    }
    return text;
}

class VerifyTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a b", "#%?", "&<>\"", "back\\slash", "日本語", "raw\xFF\xFE", "ctl\x01", "sub/x",
                                 "sub/deeper/y", "z"})
            writeFile(folder / ("in/" + std::string(name)), name);
    }

    listgen::ListRequest request() const
    {
        listgen::ListRequest request;
        request.inputDir = input();
        request.outputFile = report();
        return request;
    }

    void generate(std::vector<listgen::ExcludePattern> excludes = {}) const
    {
        listgen::ListRequest request = this->request();
        request.excludes = std::move(excludes);
        ASSERT_EQ(listgen::GenerateList(request, {}, kGoOn).status, listgen::Outcome::Status::Complete);
    }

    VerifyOutcome verify(std::vector<listgen::ExcludePattern> excludes = {}) const
    {
        return listgen::VerifyTree({report(), input(), std::move(excludes), 0}, {}, kGoOn);
    }

    std::string input() const { return folder / "in"; }
    std::string report() const { return folder / "report.htm"; }

    TempFolder folder;
};

} // namespace

TEST_F(VerifyTreeTest, NamesExactlyTheChangedMissingAndNewFiles)
{
    writeFile(folder / "in/caf\u00E9", "c");
    generate();
    // As macOS writes the name: the same to the eye, another to the file system.
    fs::rename(folder / "in/caf\u00E9", folder / "in/cafe\u0301");
    writeFile(folder / "in/&<>\"", "changed content");
    writeFile(folder / "in/sub/x", "sub/X");
    fs::remove(folder / "in/raw\xFF\xFE");
    fs::remove_all(folder / "in/sub/deeper");
    writeFile(folder / "in/new file", "n");
    writeFile(folder / "in/added/inner", "i");
    const VerifyOutcome outcome = verify();
    EXPECT_EQ(outcome.status, VerifyOutcome::Status::Differs);
    EXPECT_EQ(differencesText(outcome), "missing sub/deeper/y\nchanged sub/x\nchanged &<>\"\nmissing caf\u00E9\n"
                                        "missing raw\xFF\xFE\nnew added/inner\nnew cafe\u0301\nnew new file\n");
    ASSERT_EQ(outcome.otherNormalisations.size(), 1U);
    EXPECT_EQ(outcome.otherNormalisations[0].missing + "|" + outcome.otherNormalisations[0].added,
              "caf\u00E9|cafe\u0301");
}

TEST_F(VerifyTreeTest, ExcludedEntriesAreIgnoredOnBothSides)
{
    generate();
    writeFile(folder / "in/sub/x", "changed");
    writeFile(folder / "in/scratch.tmp", "new");
    EXPECT_EQ(verify({"sub", "*.tmp"}).status, VerifyOutcome::Status::Matches);
    generate({"deeper"});
    EXPECT_EQ(differencesText(verify()), "new sub/deeper/y\n");
}

TEST_F(VerifyTreeTest, UnreadableFolderMakesTheCheckIncompleteButNotMissing)
{
    generate();
    folder.openToEveryone();
    ::chmod(input().c_str(), 0755);
    ::chmod((folder / "in/sub").c_str(), 0);
    ::chmod(report().c_str(), 0644);
    const auto child = runInChild(
        [&] {
            const VerifyOutcome outcome = verify();
            return std::to_string(static_cast<int>(outcome.status)) + " " + std::to_string(outcome.unreadable.size()) +
                   "\n" + differencesText(outcome);
        },
        {.unprivileged = true});
    EXPECT_EQ(child.output, std::to_string(static_cast<int>(VerifyOutcome::Status::Incomplete)) + " 1\n");
}

TEST_F(VerifyTreeTest, ReportsOfEarlierVersionsAndOddTitlesStillVerify)
{
    {
        listgen::ReportFile report(this->report());
        listgen::WriteHtml(report, listgen::headText("日本 title", "é.css", listgen::TextForm::Utf8), [&] {
            listgen::ListFolder walk(input());
            listgen::Entry entry;
            while (walk.next(entry)) {
                std::string rowText;
                const std::string content = readFile(entry.path);
                const listgen::Md5Hex md5 = listgen::Md5Lanes::md5Hex(content);
                listgen::File(rowText, entry.path, input(), {content.size(), md5}, listgen::TextForm::Utf8);
                report.append(rowText);
            }
            return true;
        });
        report.commit();
    }
    EXPECT_EQ(verify().status, VerifyOutcome::Status::Matches) << differencesText(verify());

    listgen::ListRequest request = this->request();
    request.title = "two\r\nlines\x01 \u202E";
    request.stylesheet = "tab\there.css";
    ASSERT_EQ(listgen::GenerateList(request, {}, kGoOn).status, listgen::Outcome::Status::Complete);
    EXPECT_EQ(verify().status, VerifyOutcome::Status::Matches);
}

// The run's other output, a copy of the report and a listing of some of its files are told
// apart by what they list, wherever they lie.
TEST_F(VerifyTreeTest, OtherListingsInTheTreeAreComparedByWhatTheyList)
{
    listgen::ListRequest request = this->request();
    request.outputFile = folder / "in/sub/deeper/index.htm";
    request.checksumsFile = folder / "in/SUMS.md5";
    ASSERT_EQ(listgen::GenerateList(request, {}, kGoOn).status, listgen::Outcome::Status::Complete);
    const auto check = [&](const std::string& listing) {
        return listgen::VerifyTree({listing, input(), {}, 0}, {}, kGoOn);
    };
    VerifyOutcome outcome = check(request.checksumsFile);
    EXPECT_EQ(outcome.status, VerifyOutcome::Status::Matches) << differencesText(outcome);
    EXPECT_EQ(outcome.sameListings, std::vector<std::string>{"sub/deeper/index.htm"});

    fs::copy_file(request.outputFile, folder / "in/copy.htm");
    std::string partial = "# by hand\n";
    for (const char* name : {"z", "sub/x"}) {
        const listgen::Md5Hex md5 = listgen::Md5Lanes::md5Hex(readFile(folder / ("in/" + std::string(name))));
        partial += "MD5 (" + std::string(name) + ") = " + std::string(md5.data(), md5.size()) + "\n";
    }
    writeFile(folder / "in/partial.md5", partial);
    outcome = check(request.outputFile);
    EXPECT_EQ(differencesText(outcome), "new partial.md5\n");
    EXPECT_EQ(outcome.sameListings, (std::vector<std::string>{"copy.htm", "SUMS.md5"}));
    // A change to the tree is still found; listings that no longer agree with it are new.
    writeFile(folder / "in/z", "Z");
    outcome = check(request.outputFile);
    EXPECT_EQ(differencesText(outcome), "changed z\nnew copy.htm\nnew partial.md5\nnew SUMS.md5\n");
    EXPECT_TRUE(outcome.sameListings.empty());
}

TEST(VerifyTreeListing, TheShortestManifestOfTheRowsIsStillRecognised)
{
    TempFolder folder;
    std::string manifest;
    for (const char* name : {"a", "b", "c"}) {
        writeFile(folder / ("in/" + std::string(name)), name);
        const listgen::Md5Hex md5 = listgen::Md5Lanes::md5Hex(name);
        manifest += (manifest.empty() ? "" : "\n") + std::string(md5.data(), md5.size()) + " " + name;
    }
    listgen::ListRequest request;
    request.inputDir = folder / "in";
    request.outputFile = folder / "report.htm";
    ASSERT_EQ(listgen::GenerateList(request, {}, kGoOn).status, listgen::Outcome::Status::Complete);
    // One blank, no mark, no line end at the end: 35 bytes a file, less one.
    writeFile(folder / "in/zz", manifest);
    ASSERT_EQ(manifest.size(), 3 * 35 - 1);
    const VerifyOutcome outcome = listgen::VerifyTree({request.outputFile, request.inputDir, {}, 0}, {}, kGoOn);
    EXPECT_EQ(outcome.status, VerifyOutcome::Status::Matches) << differencesText(outcome);
    EXPECT_EQ(outcome.sameListings, std::vector<std::string>{"zz"});
}
