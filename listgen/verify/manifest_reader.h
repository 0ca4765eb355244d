#pragma once

#include "listgen/verify/line_reader.h"
#include "listgen/verify/row_reader.h"

#include "listgen/report/checksum_manifest.h"

#include <cstdint>
#include <string>
#include <vector>

namespace listgen {

// Reads an md5sum or sha256sum manifest, the ones this tool writes or any that md5sum -c or
// sha256sum -c reads. It is read through once first, to check every line and count its rows;
// one whose rows come in walk order (as this tool writes them), in a file that can be read
// again, is then read again row by row, in bounded memory. Any other is held in memory and
// put in walk order. Its rows have no sizes, and all one kind of digest.
class ManifestReader : public RowReader {
public:
    // Throws ReportFormatError for a line md5sum -c would not read, a path listed twice, or
    // more than `mostRows` rows.
    ManifestReader(LineReader lines, const std::string& firstLine, std::uint64_t mostRows);

    bool next(ReportRow& row) override;
    DigestKind digests() const override { return kind_; }
    std::optional<std::uint64_t> mostRows() const override { return rows_; }

private:
    // Reads every row, checks them and counts them, holding them when asked; true when they
    // come in walk order. `firstLine`, when given, is the line read already.
    bool readAll(const std::string* firstLine, std::uint64_t mostRows, bool hold);
    // The next checksum line's row from `line` and the lines after it; false at the end.
    bool readRow(std::string& line, bool haveLine, ReportRow& row);
    // Refuses a row that is not after `previous_` in walk order; false when it is before it.
    bool follows(const std::string& relName);

    LineReader lines_;
    UnmarkedLines unmarked_ = UnmarkedLines::Undecided;
    DigestKind kind_ = DigestKind::Md5;
    std::uint64_t rows_ = 0;
    std::string previous_;
    bool streaming_ = false;
    // Held in memory: each row's name, a NUL and its digest, and where each starts, in walk order.
    std::string held_;
    std::vector<std::uint64_t> heldRows_;
    std::size_t next_ = 0;
};

} // namespace listgen
