#pragma once

#include "listgen/common/run_values.h"
#include "listgen/report/html_text.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace listgen {

class ReportFile;

// The report's one format, written and read back here and nowhere else.

// The title line and the stylesheet link. The stylesheet reference is a URL relative to the
// report, written as the user gave it but percent-encoded where it is not ASCII (see appendUrl).
std::string headText(std::string_view title, std::string_view stylesheet, TextForm form = TextForm::Ascii);

// Appends the table row of one file, line end included.
void File(std::string& rowText, std::string_view strPath, std::string_view strRoot, const FileFacts& facts,
          TextForm form = TextForm::Ascii);

// The same row for a path already relative to the root.
void appendRow(std::string& rowText, std::string_view relName, const FileFacts& facts,
               TextForm form = TextForm::Ascii);

// Writes the document around the rows that `bodyText` appends to the report as they are made;
// the caller puts it in place. Returns false, with the document unfinished, when `bodyText` does.
bool WriteHtml(ReportFile& report, std::string_view headText, const std::function<bool()>& bodyText);

// A byte count as decimal text, without grouping.
std::string GetFileSize(std::uint64_t size);

inline constexpr std::string_view kLineEnd = "\r\n";

// Reading back, one line at a time without its line end. Each returns false for a line that
// is not exactly what the writer puts there.
struct ReportRow {
    std::string relName;
    FileFacts facts;
    // Manifests give digests only: MD5 or SHA-256, in the facts' field of that kind.
    bool sizeKnown = true;
    DigestKind digest = DigestKind::Md5;
};

// Line 1: the document start and the title, in either form.
bool readTitleLine(std::string_view line, std::string& title);
// Line 2: the stylesheet link, the body and table start, then `rest`: the first row or the table
// end. `stylesheet` is the reference as the link holds it, percent-encoding and all.
bool readTableStartLine(std::string_view line, std::string& stylesheet, std::string_view& rest);
// A row as `appendRow` renders it in either form, without its line end. Its path must be one
// a walk can give: relative, without empty, "." or ".." parts.
enum class RowReading { Row, NotARow, ImpossiblePath };
RowReading readRow(std::string_view line, ReportRow& row);
bool isTableEndLine(std::string_view line);
bool isFooterLine(std::string_view line);

} // namespace listgen
