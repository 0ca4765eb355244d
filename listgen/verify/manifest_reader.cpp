#include "listgen/verify/manifest_reader.h"

#include "listgen/report/checksum_manifest.h"
#include "listgen/verify/report_reader.h"
#include "listgen/walk/rel_name.h"
#include "listgen/walk/walk_order.h"

#include <algorithm>

namespace listgen {

ManifestReader::ManifestReader(LineReader lines, const std::string& firstLine)
{
    lines.expect("an md5sum manifest");
    std::string line = firstLine;
    do {
        ReportRow row;
        row.sizeKnown = false;
        if (!readManifestLine(line, row.relName, row.facts.md5))
            lines.refuse("a line that is not \"<MD5 digest>  <path>\"");
        // Manifests made with find(1) name their files "./path".
        if (row.relName.starts_with("./"))
            row.relName.erase(0, 2);
        if (!isWalkPath(row.relName))
            lines.refuse("a path no folder can hold (it is absolute, or has an empty, \".\" or \"..\" part)");
        rows_.push_back(std::move(row));
    } while (lines.next(line));
    std::sort(rows_.begin(), rows_.end(),
              [](const ReportRow& a, const ReportRow& b) { return walkOrderLess(a.relName, b.relName); });
    const auto twice = std::adjacent_find(rows_.begin(), rows_.end(), [](const ReportRow& a, const ReportRow& b) {
        return a.relName == b.relName;
    });
    if (twice != rows_.end())
        lines.refuse("a path listed twice");
}

bool ManifestReader::next(ReportRow& row)
{
    if (next_ == rows_.size())
        return false;
    row = rows_[next_++];
    return true;
}

std::unique_ptr<RowReader> openRowReader(const std::string& path)
{
    LineReader lines(path);
    std::string first;
    if (!lines.next(first))
        lines.refuse("the file is empty");
    if (first.starts_with("<html>"))
        return std::make_unique<ReportReader>(std::move(lines), first);
    return std::make_unique<ManifestReader>(std::move(lines), first);
}

} // namespace listgen
