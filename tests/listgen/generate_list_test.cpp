#include "listgen/generate_list.h"

#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

using listgen::GenerateList;
using listgen::ListRequest;
using listgen::Outcome;
using namespace testing_support;

namespace fs = std::filesystem;

namespace {

const std::atomic<bool> kGoOn{false};

const std::string kHead = "<html><head><title>Files</title>\r\n"
                                   "<link rel=stylesheet href=\"style.css\" type=\"Text/css\"></head><body>"
                                   "<table border=1><tr><td>FileName</td><td>Size</td><td>MD5</td></tr>";
const std::string kTail = "</table>\r\n<p align=right>Code by Plumbrack</p></body></html>\r\n";

ListRequest requestFor(const TempFolder& folder)
{
    ListRequest request;
    request.inputDir = folder / "in";
    request.outputFile = folder / "out/list.htm";
    request.title = "Files";
    request.stylesheet = "style.css";
    return request;
}

std::string row(const std::string& target, const std::string& text, const std::string& size, const std::string& md5)
{
    return "<tr><td><a href=\"" + target + "\">" + text + "</a></td><td>" + size + "</td><td>" + md5 + "</td></tr>\r\n";
}

// The failure of a run that was not written, short enough for an assertion message.
std::string failureOf(const Outcome& outcome)
{
    return outcome.failure ? outcome.failure->path + ": " + outcome.failure->code.message() : "no failure";
}

// The report of a complete run, or why the run was not complete.
std::string reportOrFailure(const ListRequest& request)
{
    const Outcome outcome = GenerateList(request, {}, kGoOn);
    return outcome.status == Outcome::Status::Complete ? readFile(request.outputFile) : failureOf(outcome);
}

class GenerateListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(folder / "in");
        fs::create_directories(folder / "out");
    }

    TempFolder folder;
};

} // namespace

TEST_F(GenerateListTest, WritesTheDocumentByteForByte)
{
    writeFile(folder / "in/sub/a.txt", "abc");
    writeFile(folder / "in/b.txt", "message digest");
    writeFile(folder / "in/B.txt", "");
    listgen::Progress last;
    const Outcome outcome = GenerateList(requestFor(folder), [&](const listgen::Progress& p) { last = p; }, kGoOn);
    ASSERT_EQ(outcome.status, Outcome::Status::Complete) << failureOf(outcome);
    EXPECT_EQ(readFile(folder / "out/list.htm"),
              kHead + row("sub/a.txt", "sub/a.txt", "3", "900150983cd24fb0d6963f7d28e17f72") +
                  row("B.txt", "B.txt", "0", "d41d8cd98f00b204e9800998ecf8427e") +
                  row("b.txt", "b.txt", "14", "f96b697d7cb7938d525a2f31aaf161d0") + kTail);
    EXPECT_EQ(outcome.totals.files, 3U);
    EXPECT_EQ(outcome.totals.bytes, 17U);
    EXPECT_EQ(last.files, 3U) << "progress ends with the totals";
    EXPECT_EQ(last.bytes, 17U);
}

TEST_F(GenerateListTest, EmptyFolderGivesTheHeaderOnlyTable)
{
    fs::create_directories(folder / "in/empty/deeper");
    EXPECT_EQ(reportOrFailure(requestFor(folder)), kHead + kTail);
}

TEST_F(GenerateListTest, ReportInsideTheTreeNeverListsItselfButItsOtherLinksAreFiles)
{
    writeFile(folder / "in/data", "abc");
    writeFile(folder / "in/list.htm", "old report");
    // A snapshot made with cp -al holds another link to the old report: an ordinary file.
    fs::create_directories(folder / "in/snap");
    fs::create_hard_link(folder / "in/list.htm", folder / "in/snap/list.htm");
    ListRequest request = requestFor(folder);
    request.outputFile = folder.path().string() + "/in/../in/./list.htm";
    const std::string expected = kHead + row("snap/list.htm", "snap/list.htm", "10", "44331fb71df0829a9071213759124fd5") +
                                 row("data", "data", "3", "900150983cd24fb0d6963f7d28e17f72") + kTail;
    for (int run = 0; run < 2; ++run)
        EXPECT_EQ(reportOrFailure(request), expected);
    EXPECT_EQ(namesIn(folder / "in"), "data\nlist.htm\nsnap\n");
}

TEST_F(GenerateListTest, AnEmptyInputOrOutputIsRefusedAndTouchesNothing)
{
    writeFile(folder / "out/list.htm", "old");
    for (const auto& [input, output] : {std::pair<std::string, std::string>{"", folder / "out/list.htm"},
                                        {folder / "in", ""}}) {
        ListRequest request = requestFor(folder);
        request.inputDir = input;
        request.outputFile = output;
        EXPECT_FALSE(listgen::hasMandatoryFields(request));
        EXPECT_EQ(GenerateList(request, {}, kGoOn).status, Outcome::Status::Refused);
    }
    EXPECT_EQ(readFile(folder / "out/list.htm"), "old");
    ListRequest blanks = requestFor(folder);
    blanks.inputDir = " ";
    EXPECT_TRUE(listgen::hasMandatoryFields(blanks));
}

TEST_F(GenerateListTest, EveryReaderAndJobCountWritesTheSameReport)
{
    for (int folderNumber = 0; folderNumber < 40; ++folderNumber) {
        const std::string sub = folder / ("in/f" + std::to_string(folderNumber % 7) + "/g" + std::to_string(folderNumber));
        for (int file = 0; file < 50; ++file)
            writeFile(sub + "/n" + std::to_string(file), std::string(static_cast<std::size_t>(file * folderNumber), 'q'));
    }
    for (int file = 0; file < 30; ++file)
        writeFile(folder / ("in/top" + std::to_string(file)), std::to_string(file));
    // Sizes around the reader's limits: one request, one chunk, several chunks.
    for (const std::size_t size : {std::size_t{256} << 10, (std::size_t{256} << 10) + 1, std::size_t{1} << 20,
                                   (std::size_t{1} << 20) + 1, (std::size_t{7} << 19) + 3}) {
        writeFile(folder / ("in/big" + std::to_string(size)), patternedBytes(size, 0));
    }
    ListRequest request = requestFor(folder);
    request.jobs = 1;
    const std::string oneJob = reportOrFailure(request);
    EXPECT_EQ(std::count(oneJob.begin(), oneJob.end(), '\n'), 2035 + 3);
    for (const unsigned jobs : {2U, 3U, 8U, 0U}) {
        request.jobs = jobs;
        EXPECT_EQ(reportOrFailure(request), oneJob) << jobs << " jobs";
    }
    // Where io_uring is refused, the threads that read file by file write the same report.
    EXPECT_EQ(runInChild([&] { return reportOrFailure(request); }, {.withoutIoUring = true}).output, oneJob);
}

TEST_F(GenerateListTest, FilesDeeperThanAnyPathAreListedWithFewDescriptors)
{
    makeDeepTree(folder / "in", "d" + std::string(60, 'e'), 300, "bottom");
    ListRequest request = requestFor(folder);
    request.jobs = 2;
    const auto result = runInChild([&] { return reportOrFailure(request); }, {.openFiles = 32});
    EXPECT_NE(result.output.find("/bottom\">"), std::string::npos) << result.output.substr(0, 300);
    EXPECT_NE(result.output.find("</td><td>4</td><td>6627415e807ee33c7302917216e7da68</td>"), std::string::npos);
}

// Their sizes are guesses (4096 in sysfs), so the bytes they give are what counts.
TEST_F(GenerateListTest, FilesOfPseudoFileSystemsAreListedWithTheBytesTheyGive)
{
    const std::string sysfs = "/sys/kernel/mm/transparent_hugepage/khugepaged";
    if (!fs::exists(sysfs + "/pages_to_scan"))
        GTEST_SKIP() << "no " << sysfs << " here";
    fs::create_symlink(sysfs + "/pages_to_scan", folder / "in/link");
    const std::string bytes = readFile(sysfs + "/pages_to_scan");
    ASSERT_LT(bytes.size(), 4096U);
    ListRequest request = requestFor(folder);
    EXPECT_NE(reportOrFailure(request).find("\"link\">link</a></td><td>" + std::to_string(bytes.size()) + "</td>"),
              std::string::npos);
    request.inputDir = sysfs;
    for (const bool withoutUring : {false, true}) {
        const auto result = runInChild([&] { return reportOrFailure(request); }, {.withoutIoUring = withoutUring});
        EXPECT_NE(result.output.find("pages_to_scan</a></td><td>" + std::to_string(bytes.size()) + "</td>"),
                  std::string::npos)
            << result.output;
    }
}

// Both outputs are written and synced before either is renamed, so a report that cannot be
// written leaves the old manifest too.
TEST_F(GenerateListTest, AReportThatCannotBeWrittenLeavesBothOldOutputs)
{
    for (int i = 0; i < 200; ++i)
        writeFile(folder / ("in/file" + std::to_string(i)), std::to_string(i));
    ListRequest request = requestFor(folder);
    request.checksumsFile = folder / "out/SUMS.md5";
    writeFile(request.outputFile, "old report");
    writeFile(request.checksumsFile, "old sums");
    const auto result = runInChild(
        [&] {
            const Outcome outcome = GenerateList(request, {}, kGoOn);
            return outcome.status == Outcome::Status::NotWritten && outcome.failure->action == listgen::RunAction::WriteOutput
                       ? failureOf(outcome)
                       : "written";
        },
        // Room for the manifest (about 9 KB here), not for the report (about 20 KB).
        {.fileSizeLimit = 12'000});
    EXPECT_EQ(result.output, request.outputFile + ": File too large");
    EXPECT_EQ(readFile(request.outputFile), "old report");
    EXPECT_EQ(readFile(request.checksumsFile), "old sums");
    EXPECT_EQ(namesIn(folder / "out"), "SUMS.md5\nlist.htm\n");
}
