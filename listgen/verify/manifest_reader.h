#pragma once

#include "listgen/verify/line_reader.h"
#include "listgen/verify/row_reader.h"

#include <string>
#include <vector>

namespace listgen {

// Reads an md5sum or sha256sum manifest, the ones this tool writes or any that md5sum -c or
// sha256sum -c reads, whole: its lines may come in any order, so they are put in walk order
// first. Its rows have no sizes, and all one kind of digest.
class ManifestReader : public RowReader {
public:
    // Throws ReportFormatError for a line md5sum -c would not read or a path listed twice.
    ManifestReader(LineReader lines, const std::string& firstLine);

    bool next(ReportRow& row) override;
    DigestKind digests() const override { return kind_; }

private:
    DigestKind kind_ = DigestKind::Md5;
    std::vector<ReportRow> rows_;
    std::size_t next_ = 0;
};

} // namespace listgen
