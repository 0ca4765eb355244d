#include "listgen/verify/line_reader.h"
#include "listgen/verify/row_reader.h"

#include "listgen/common/system_error.h"

#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using listgen::ReportRow;
using namespace testing_support;

namespace {

const std::string kGood =
    "<html><head><title>T &amp; U</title>\r\n"
    "<link rel=stylesheet href=\"s.css\" type=\"Text/css\"></head><body><table border=1><tr><td>FileName</td>"
    "<td>Size</td><td>MD5</td></tr><tr><td><a href=\"sub/x\">sub/x</a></td><td>1</td>"
    "<td>9dd4e461268c8034f5c8564e155c67a6</td></tr>\r\n"
    "<tr><td><a href=\"a%23b\">a#b</a></td><td>3</td><td>900150983cd24fb0d6963f7d28e17f72</td></tr>\r\n"
    "<tr><td><a href=\"z\">z</a></td><td>0</td><td>d41d8cd98f00b204e9800998ecf8427e</td></tr>\r\n"
    "</table>\r\n"
    "<p align=right>Code by Plumbrack</p></body></html>\r\n";

std::string replaced(std::string text, std::string_view from, std::string_view to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

using listgen::ListingKind;
using listgen::ListingProblem;
using Refusal = std::tuple<std::optional<ListingKind>, std::optional<ListingProblem>, std::size_t>;

// The rows of a listing as "name size" lines, or only the names.
std::string rowsOf(const std::string& path, bool withSizes = true)
{
    const auto reader = listgen::openRowReader(path);
    std::string text;
    ReportRow row;
    while (reader->next(row)) {
        text += row.relName;
        if (withSizes)
            text.append(" ").append(std::to_string(row.facts.size));
        text += '\n';
    }
    return text;
}

class RowReaderTest : public ::testing::Test {
protected:
    // The rows as "name size" lines, or "refused" when the whole file was.
    std::string read(const std::string& content)
    {
        writeFile(path(), content);
        try {
            return rowsOf(path());
        } catch (const listgen::ReportFormatError& error) {
            EXPECT_EQ(error.failure().path, path());
            return "refused";
        }
    }

    // Why the whole file was refused: what it was taken for, the problem and the line.
    Refusal refusal(const std::string& content)
    {
        writeFile(path(), content);
        try {
            rowsOf(path());
        } catch (const listgen::ReportFormatError& error) {
            return {error.failure().kind, error.failure().problem, error.failure().line};
        }
        return {};
    }

    std::string path() const { return folder / "report.htm"; }

    TempFolder folder;
};

} // namespace

TEST_F(RowReaderTest, ReadsEveryRowOfAReportAlsoWithLineFeedsAlone)
{
    EXPECT_EQ(read(kGood), "sub/x 1\na#b 3\nz 0\n");
    const std::size_t rows = kGood.find("<tr><td><a");
    EXPECT_EQ(read(replaced(kGood, kGood.substr(rows, kGood.find("</table>") - rows), "")), "");
    std::string unix = kGood;
    for (std::size_t at = unix.find("\r\n"); at != std::string::npos; at = unix.find("\r\n", at))
        unix.erase(at, 1);
    EXPECT_EQ(read(unix), "sub/x 1\na#b 3\nz 0\n");
}

TEST_F(RowReaderTest, RefusesDamagedReportsWholeAndSaysWhere)
{
    using enum ListingProblem;
    const std::vector<std::pair<std::string, std::pair<ListingProblem, std::size_t>>> cases = {
        {"<html><body>hello</body></html>\r\n", {NoTitleLine, 1}},
        {replaced(kGood, "<td>MD5</td>", "<td>Md5</td>"), {BadTableStart, 2}},
        {kGood.substr(0, kGood.size() - 30), {LastLineUnended, 6}},
        {kGood.substr(0, kGood.find("</table>")), {EndsBeforeTable, 4}},
        {replaced(kGood, "</title>\r\n", "</title>\r\r\n"), {CarriageReturnInLine, 1}},
        {replaced(kGood, "<td>3</td>", "<td>03</td>"), {BadRow, 3}},
        {replaced(kGood, "a%23b\">a#b", "/etc/passwd\">/etc/passwd"), {RowPathNoFolderCanHold, 3}},
        {replaced(kGood, "a%23b\">a#b", "zz\">zz"), {RowOutOfOrder, 4}},
        {replaced(kGood, "Code by", "Made by"), {NoFooter, 6}},
        {kGood + "more\r\n", {TextAfterEnd, 7}},
        {std::string(3 << 20, 'x'), {LineTooLong, 1}},
        {"", {Empty, 0}},
    };
    for (const auto& [content, expected] : cases)
        EXPECT_EQ(refusal(content), Refusal(ListingKind::Report, expected.first, expected.second))
            << content.substr(0, 200);
}

TEST_F(RowReaderTest, ReadsFromAPipeAsFromAFile)
{
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::thread writer([&] { writeFile(folder / "fifo", kGood); });
    const std::string rows = rowsOf(folder / "fifo", false);
    writer.join();
    EXPECT_EQ(rows, "sub/x\na#b\nz\n");

    writeFile(path(), kGood);
    const auto child = runInChild([&] {
        ::dup2(::open(path().c_str(), O_RDONLY), STDIN_FILENO);
        return rowsOf("-", false);
    });
    EXPECT_EQ(child.output, "sub/x\na#b\nz\n");
}

TEST_F(RowReaderTest, ManifestsAreReadInWalkOrderWithoutSizes)
{
    const std::string d41 = "d41d8cd98f00b204e9800998ecf8427e";
    EXPECT_EQ(read("D41D8CD98F00B204E9800998ECF8427E  ./z\n" + d41 + " *sub/x\r\n\\" + d41 + "  back\\\\slash\\n\n"),
              "sub/x 0\nback\\slash\n 0\nz 0\n");
    // md5sum -c reads a last line without its line end, and --tag lines, comments and empty lines.
    EXPECT_EQ(read(d41 + "  a\n" + d41 + "  b"), "a 0\nb 0\n");
    EXPECT_EQ(read(d41 + "  a\r\n" + d41 + "  b\r"), "a 0\nb 0\n");
    EXPECT_EQ(read("# made by md5sum --tag\n\nMD5 (b) = " + d41 + "\n\r\n\\MD5 (c\\r) = " + d41 + "\n"), "b 0\nc\r 0\n");
    const auto manifestRefusal = [](ListingProblem problem, std::size_t line) {
        return Refusal(ListingKind::Manifest, problem, line);
    };
    EXPECT_EQ(refusal(d41 + "  a\nnot a line\n"), manifestRefusal(ListingProblem::BadManifestLine, 2));
    EXPECT_EQ(refusal(d41 + "  ../up\n"), manifestRefusal(ListingProblem::PathNoFolderCanHold, 1));
    EXPECT_EQ(refusal(d41 + "  a\n" + d41 + "  ./a\n"), manifestRefusal(ListingProblem::ListedTwice, 2));
    EXPECT_EQ(refusal("# nothing but comments\n\n"), manifestRefusal(ListingProblem::NoChecksumLine, 2));
    const std::string nul(1, '\0');
    for (const auto& [content, line] : {std::pair{d41 + "  a" + nul + d41 + "  b" + nul, 1U}, {d41 + "  a\n" + d41 + "  b" + nul, 2U}}) {
        const Refusal refused = refusal(content);
        EXPECT_EQ(std::pair(std::get<1>(refused), std::get<2>(refused)), std::pair(std::optional(ListingProblem::NulByte), std::size_t{line}));
    }
}
