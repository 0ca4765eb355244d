#include "listgen/report_document.h"

#include <gtest/gtest.h>

using listgen::relName;

TEST(ReportDocument, RelNameDropsTheRootAndOneSeparator)
{
    EXPECT_EQ(relName("/data/sub/a b.txt", "/data"), "sub/a b.txt");
    EXPECT_EQ(relName("/data//a.txt", "/data/"), "a.txt");
    EXPECT_EQ(relName("//x.txt", "/"), "x.txt");
    EXPECT_EQ(relName("rel/dir/f", "rel"), "dir/f");
    EXPECT_EQ(relName("/data/back\\slash", "/data"), "back\\slash");
}

TEST(ReportDocument, HeadTextEscapesTitleAndStylesheet)
{
    EXPECT_EQ(listgen::headText("", ""), "<title></title>\r\n<link rel=stylesheet href=\"\" type=\"Text/css\">");
    EXPECT_EQ(listgen::headText("A & <B>", "x.css?\"q\""),
              "<title>A &amp; &lt;B&gt;</title>\r\n<link rel=stylesheet href=\"x.css?&quot;q&quot;\" type=\"Text/css\">");
}

TEST(ReportDocument, RowCarriesLinkSizeAndDigest)
{
    listgen::FileFacts facts;
    facts.size = 5368709120;
    const std::string md5 = "0123456789abcdef0123456789abcdef";
    std::copy(md5.begin(), md5.end(), facts.md5.begin());
    std::string rowText = "<previous>";
    listgen::File(rowText, "/r/sub/a#1.txt", "/r", facts);
    EXPECT_EQ(rowText, "<previous><tr><td><a href=\"sub/a%231.txt\">sub/a#1.txt</a></td><td>5368709120</td><td>"
                       "0123456789abcdef0123456789abcdef</td></tr>\r\n");
    EXPECT_EQ(listgen::GetFileSize(0), "0");
    EXPECT_EQ(listgen::GetFileSize(18446744073709551615ULL), "18446744073709551615");
}
