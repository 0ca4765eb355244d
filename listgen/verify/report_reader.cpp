#include "listgen/verify/report_reader.h"

#include "listgen/walk/walk_order.h"

namespace listgen {

ReportReader::ReportReader(LineReader lines, const std::string& firstLine)
    : lines_(std::move(lines))
{
    if (lines_.lastLineUnended())
        lines_.refuse(ListingProblem::LastLineUnended);
    std::string title;
    if (!readTitleLine(firstLine, title))
        lines_.refuse(ListingProblem::NoTitleLine);
    std::string line;
    std::string stylesheet;
    std::string_view rest;
    if (!nextLine(line) || !readTableStartLine(line, stylesheet, rest))
        lines_.refuse(ListingProblem::BadTableStart);
    pendingRowText_ = rest;
    pendingRow_ = true;
}

bool ReportReader::nextLine(std::string& line)
{
    const bool read = lines_.next(line);
    if (read && lines_.lastLineUnended())
        lines_.refuse(ListingProblem::LastLineUnended);
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
        lines_.refuse(ListingProblem::EndsBeforeTable);
    }
    if (isTableEndLine(line)) {
        if (!nextLine(line) || !isFooterLine(line))
            lines_.refuse(ListingProblem::NoFooter);
        if (nextLine(line))
            lines_.refuse(ListingProblem::TextAfterEnd);
        finished_ = true;
        return false;
    }
    switch (readRow(line, row)) {
    case RowReading::Row: break;
    case RowReading::NotARow: lines_.refuse(ListingProblem::BadRow);
    case RowReading::ImpossiblePath:
        lines_.refuse(ListingProblem::RowPathNoFolderCanHold);
    }
    if (havePrevious_ && !walkOrderLess(previousName_, row.relName))
        lines_.refuse(ListingProblem::RowOutOfOrder);
    previousName_ = row.relName;
    havePrevious_ = true;
    return true;
}

} // namespace listgen
