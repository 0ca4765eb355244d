#pragma once

#include "listgen/verify/line_reader.h"
#include "listgen/verify/row_reader.h"

#include <string>
#include <vector>

namespace listgen {

// Reads an md5sum manifest, the one --checksums writes or any that md5sum -c reads, whole: its
// lines may come in any order, so they are put in walk order first. Its rows have no sizes.
class ManifestReader : public RowReader {
public:
    // Throws ReportFormatError for a line md5sum -c would not read or a path listed twice.
    ManifestReader(LineReader lines, const std::string& firstLine);

    bool next(ReportRow& row) override;

private:
    std::vector<ReportRow> rows_;
    std::size_t next_ = 0;
};

} // namespace listgen
