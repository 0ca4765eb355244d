#pragma once

#include "listgen/verify/line_reader.h"
#include "listgen/verify/row_reader.h"

#include <string>

namespace listgen {

// Reads a report back row by row, strictly: every row must be exactly what the writer renders
// for its name, the rows must come in walk order, and the document must end as written.
class ReportReader : public RowReader {
public:
    // Takes the lines after `firstLine`; throws ReportFormatError when the head is foreign.
    ReportReader(LineReader lines, const std::string& firstLine);

    bool next(ReportRow& row) override;
    // Every row but the first takes a line of its own, after the title line.
    std::optional<std::uint64_t> mostRows() const override { return lines_.countLineEnds(); }

private:
    // The next line, which must have its line end.
    bool nextLine(std::string& line);

    LineReader lines_;
    std::string pendingRowText_;
    bool pendingRow_ = false;
    bool finished_ = false;
    std::string previousName_;
    bool havePrevious_ = false;
};

} // namespace listgen
