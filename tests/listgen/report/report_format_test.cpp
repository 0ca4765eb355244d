#include "listgen/report/report_format.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

listgen::FileFacts factsOf(std::uint64_t size, std::string_view md5)
{
    listgen::FileFacts facts;
    facts.size = size;
    std::copy(md5.begin(), md5.end(), facts.md5.begin());
    return facts;
}

} // namespace

TEST(ReportFormat, RowCarriesLinkSizeAndDigest)
{
    std::string rowText = "<previous>";
    listgen::File(rowText, "/r/sub/a#1.txt", "/r", factsOf(5368709120, "0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(rowText, "<previous><tr><td><a href=\"sub/a%231.txt\">sub/a#1.txt</a></td><td>5368709120</td><td>"
                       "0123456789abcdef0123456789abcdef</td></tr>\r\n");
}

TEST(ReportFormat, RowsThatTheWriterWouldNotWriteAreRefused)
{
    const std::string good = "<tr><td><a href=\"a%23b\">a#b</a></td><td>12</td><td>0123456789abcdef0123456789abcdef</td></tr>";
    listgen::ReportRow row;
    ASSERT_EQ(listgen::readRow(good, row), listgen::RowReading::Row);
    // As 1.0.0 wrote it, showing a zero-width space as itself and marking no name.
    ASSERT_EQ(listgen::readRow("<tr><td><a href=\"e%CC%81%E2%80%8B\">e&#x301;&#x200B;</a></td><td>12</td><td>"
                               "0123456789abcdef0123456789abcdef</td></tr>",
                               row),
              listgen::RowReading::Row);
    EXPECT_EQ(row.relName, "e\u0301\u200B");
    const auto damaged = [&](std::string_view from, std::string_view to) {
        std::string line = good;
        line.replace(line.find(from), from.size(), to);
        return line;
    };
    for (const std::string& line : {damaged(">a#b<", ">a#c<"), damaged("a%23b\"", "a#b\""), damaged("%23", "%2"),
                                    damaged(">12<", ">012<"), damaged(">12<", "><"), damaged(">12<", ">-1<"),
                                    damaged(">12<", ">18446744073709551616<"), damaged("0123456789abcdef0", "0123456789ABCDEF0"),
                                    damaged("0123456789abcdef</td>", "0123456789abcde</td>"), damaged("<tr>", "<tr >"),
                                    good + " "})
        EXPECT_EQ(listgen::readRow(line, row), listgen::RowReading::NotARow) << line;
    for (const std::string path : {"", "/etc/passwd", "a//b", "../up", "a/./b", "a/"}) {
        std::string line;
        listgen::appendRow(line, path, factsOf(1, "0123456789abcdef0123456789abcdef"));
        line.resize(line.size() - 2);
        EXPECT_EQ(listgen::readRow(line, row), listgen::RowReading::ImpossiblePath) << path;
    }
}

TEST(ReportFormat, HeadReadsBackOnlyWhenItIsExactlyAsWritten)
{
    std::string title;
    EXPECT_TRUE(listgen::readTitleLine("<html><head><title>A &amp; B</title>", title));
    EXPECT_EQ(title, "A & B");
    EXPECT_TRUE(listgen::readTitleLine("<html><head><title>&#x65E5;&#xFFFD;</title>", title));
    EXPECT_EQ(title, "日\xEF\xBF\xBD");
    EXPECT_TRUE(listgen::readTitleLine("<html><head><title>日本</title>", title));
    for (const char* line : {"<html><head><title>A & B</title>", "<html><title>x</title>", "<html><head><title>x",
                             "<html><head><title>bad\xFF</title>", "<html><head><title>&#x65E5;本</title>"})
        EXPECT_FALSE(listgen::readTitleLine(line, title)) << line;

    const std::string tableStart = "<link rel=stylesheet href=\"s.css\" type=\"Text/css\"></head><body><table border=1>"
                                   "<tr><td>FileName</td><td>Size</td><td>MD5</td></tr>";
    std::string stylesheet;
    std::string_view rest;
    const std::string emptyTable = tableStart + "</table>";
    ASSERT_TRUE(listgen::readTableStartLine(emptyTable, stylesheet, rest));
    EXPECT_EQ(stylesheet, "s.css");
    EXPECT_EQ(rest, "</table>");
    EXPECT_FALSE(listgen::readTableStartLine(tableStart.substr(0, tableStart.size() - 1), stylesheet, rest));
    // Version 1.0.0 wrote the reference with numeric references, versions before it raw UTF-8.
    for (const std::string_view href : {"a%20%C3%A9.css", "a &#xE9;.css", "a \xC3\xA9.css"}) {
        std::string line = tableStart + "</table>";
        line.replace(line.find("s.css"), 5, href);
        EXPECT_TRUE(listgen::readTableStartLine(line, stylesheet, rest)) << href;
        EXPECT_EQ(rest, "</table>");
    }
    EXPECT_FALSE(listgen::readTableStartLine("<link rel=stylesheet href=\"s\"css\" type=\"Text/css\">", stylesheet, rest));
}
