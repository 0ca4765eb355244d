#pragma once

#include "listgen/file_hasher.h"
#include "listgen/report_file.h"

#include <functional>

#include <string>
#include <string_view>

namespace listgen {

inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kDocumentStart = "<html><head>";
inline constexpr std::string_view kBodyStart =
    "</head><body><table border=1><tr><td>FileName</td><td>Size</td><td>MD5</td></tr>";
inline constexpr std::string_view kDocumentEnd = "</table>\r\n<p align=right>Code by Plumbrack</p></body></html>\r\n";

// The path below the root: the full path without the root and the one "/" that follows it.
std::string_view relName(std::string_view strPath, std::string_view strRoot) noexcept;

// The title line and the stylesheet link.
std::string headText(std::string_view title, std::string_view stylesheet);

// Appends the table row of one file, line end included.
void File(std::string& rowText, std::string_view strPath, std::string_view strRoot, const FileFacts& facts);

// Writes the document around the rows that `bodyText` appends to the report as they are made,
// then puts the report in place. Returns false, with nothing put in place, when `bodyText` does.
bool WriteHtml(ReportFile& report, std::string_view headText, const std::function<bool()>& bodyText);

// A byte count as decimal text, without grouping.
std::string GetFileSize(std::uint64_t size);

} // namespace listgen
