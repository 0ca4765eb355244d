#include "listgen/verify/report_reader.h"

#include "listgen/walk/walk_order.h"

namespace listgen {

ReportReader::ReportReader(LineReader lines, const std::string& firstLine)
    : lines_(std::move(lines))
{
    if (lines_.lastLineUnended())
        lines_.refuse("the last line has no line end");
    std::string title;
    if (!readTitleLine(firstLine, title))
        lines_.refuse("the first line is not the title line of a report");
    std::string line;
    std::string stylesheet;
    std::string_view rest;
    if (!nextLine(line) || !readTableStartLine(line, stylesheet, rest))
        lines_.refuse("the stylesheet link or the table header is malformed");
    pendingRowText_ = rest;
    pendingRow_ = true;
}

bool ReportReader::nextLine(std::string& line)
{
    const bool read = lines_.next(line);
    if (read && lines_.lastLineUnended())
        lines_.refuse("the last line has no line end");
    return read;
}

bool ReportReader::next(ReportRow& row)
{
    if (finished_)
        return false;
    std::string line;
    if (pendingRow_) {
        line = std::move(pendingRowText_);
        pendingRow_ = false;
    } else if (!nextLine(line)) {
        lines_.refuse("the file ends before the table does");
    }
    if (isTableEndLine(line)) {
        if (!nextLine(line) || !isFooterLine(line))
            lines_.refuse("the footer line is missing after the table");
        if (nextLine(line))
            lines_.refuse("text after the end of the document");
        finished_ = true;
        return false;
    }
    switch (readRow(line, row)) {
    case RowReading::Row: break;
    case RowReading::NotARow: lines_.refuse("a table row that vaskerel would not write");
    case RowReading::ImpossiblePath:
        lines_.refuse("a row whose path no folder can hold (it is absolute, or has an empty, \".\" or \"..\" part)");
    }
    if (havePrevious_ && !walkOrderLess(previousName_, row.relName))
        lines_.refuse("a row that comes before the one above it in the order of a walk");
    previousName_ = row.relName;
    havePrevious_ = true;
    return true;
}

} // namespace listgen
